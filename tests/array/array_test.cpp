// The dynamic array as each record library exports it: status codes, growth, removal,
// wrong tags and who releases what.
#include "array_library.h"
#include "heap_hook.h"
#include "run_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace harness
{
namespace
{

class ArrayTest : public ::testing::TestWithParam<const char *>
{
  protected:
    ArrayLibrary array{lib(GetParam())};
    ArrayHandle handle = nullptr;

    void SetUp() override
    {
        ASSERT_EQ(array.create(&handle), 0);
    }
    void TearDown() override
    {
        if (handle != nullptr) {
            EXPECT_EQ(array.destroy(handle), 0);
        }
    }

    // Adds n distinct non-null elements that the array then owns.
    std::vector<void *> addElements(int n)
    {
        std::vector<void *> added;
        for (int i = 0; i < n; ++i) {
            void *element = std::malloc(8);
            EXPECT_EQ(array.add(handle, element), 0);
            added.push_back(element);
        }
        return added;
    }

    std::vector<void *> contents()
    {
        std::vector<void *> result;
        for (int32_t i = 0; i < array.size(handle); ++i) {
            void *element = nullptr;
            EXPECT_EQ(array.getAt(handle, i, &element), 0);
            result.push_back(element);
        }
        return result;
    }
};

TEST_P(ArrayTest, NewArrayIsEmptyWithSixteenClearSlots)
{
    EXPECT_EQ(handle->magic, ARRAY_MAGIC);
    EXPECT_EQ(handle->capacity, 16);
    EXPECT_EQ(array.size(handle), 0);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(handle->slots[i], nullptr);
    }
    void *untouched = &handle;
    EXPECT_EQ(array.getAt(handle, 0, &untouched), ARRAY_ERR_INDEX);
    EXPECT_EQ(untouched, &handle);
}

TEST_P(ArrayTest, GrowsFromSixteenToThirtyTwoToSixtyFourKeepingOrder)
{
    std::vector<void *> added = addElements(16);
    EXPECT_EQ(handle->capacity, 16);

    added.push_back(std::malloc(8));
    ASSERT_EQ(array.add(handle, added.back()), 0);
    EXPECT_EQ(handle->capacity, 32);
    for (int i = 17; i < 32; ++i) {
        EXPECT_EQ(handle->slots[i], nullptr) << "slot " << i;
    }
    EXPECT_EQ(contents(), added);

    std::vector<void *> more = addElements(16);
    added.insert(added.end(), more.begin(), more.end());
    EXPECT_EQ(handle->capacity, 64);
    EXPECT_EQ(array.size(handle), 33);
    EXPECT_EQ(contents(), added);
}

TEST_P(ArrayTest, SetReplacesWithinTheLengthOnly)
{
    std::vector<void *> added = addElements(3);
    void *replacement = std::malloc(8);
    ASSERT_EQ(array.setAt(handle, 1, replacement), 0);
    EXPECT_EQ(contents(), (std::vector<void *>{added[0], replacement, added[2]}));
    std::free(added[1]); // replaced: the caller's again

    void *stray = std::malloc(8);
    EXPECT_EQ(array.setAt(handle, 3, stray), ARRAY_ERR_INDEX);
    EXPECT_EQ(array.setAt(handle, -1, stray), ARRAY_ERR_INDEX);
    EXPECT_EQ(array.size(handle), 3);
    std::free(stray);
}

TEST_P(ArrayTest, RemovesAtFrontMiddleAndEndKeepingOrder)
{
    std::vector<void *> e = addElements(5);
    ASSERT_EQ(array.removeAt(handle, 0), 0);
    EXPECT_EQ(contents(), (std::vector<void *>{e[1], e[2], e[3], e[4]}));
    ASSERT_EQ(array.removeAt(handle, 1), 0);
    EXPECT_EQ(contents(), (std::vector<void *>{e[1], e[3], e[4]}));
    ASSERT_EQ(array.removeAt(handle, 2), 0);
    EXPECT_EQ(contents(), (std::vector<void *>{e[1], e[3]}));
    EXPECT_EQ(array.removeAt(handle, 2), ARRAY_ERR_INDEX);
    EXPECT_EQ(array.removeAt(handle, -1), ARRAY_ERR_INDEX);
    EXPECT_EQ(handle->capacity, 16);
    std::free(e[0]);
    std::free(e[2]);
    std::free(e[4]);
}

TEST_P(ArrayTest, RemovesFromAFullTableAndFromTwelveElements)
{
    std::vector<void *> e = addElements(16);
    ASSERT_EQ(array.removeAt(handle, 7), 0);
    std::free(e[7]);
    e.erase(e.begin() + 7);
    EXPECT_EQ(contents(), e);

    e.resize(12);
    while (array.size(handle) > 12) {
        void *last = nullptr;
        array.getAt(handle, array.size(handle) - 1, &last);
        array.removeAt(handle, array.size(handle) - 1);
        std::free(last);
    }
    ASSERT_EQ(array.removeAt(handle, 0), 0);
    std::free(e[0]);
    e.erase(e.begin());
    EXPECT_EQ(contents(), e);
}

TEST_P(ArrayTest, WrongTagIsRefusedByEveryOperationAndChangesNothing)
{
    std::vector<void *> e = addElements(3);
    handle->magic = 0x12345679;
    const ArrayRecord before = *handle;
    int marker = 0, stranger = 0;
    void *out = &marker;
    void *stray = &stranger;

    EXPECT_EQ(array.size(handle), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.add(handle, stray), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.getAt(handle, 0, &out), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.getAt(handle, 7, &out), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.setAt(handle, 0, stray), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.removeAt(handle, 0), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.destroy(handle), ARRAY_ERR_HANDLE);

    EXPECT_EQ(out, &marker);
    EXPECT_EQ(std::memcmp(&before, handle, sizeof before), 0);
    EXPECT_EQ(std::vector<void *>(handle->slots, handle->slots + 3), e);
    handle->magic = ARRAY_MAGIC;
}

// The operations that take an index, each called with a handle and an index.
struct IndexedOperation {
    const char *name;
    int32_t (*call)(ArrayLibrary &array, ArrayHandle handle, int32_t index);
};

const IndexedOperation indexedOperations[] = {
    {"arrayGetAt",
     [](ArrayLibrary &array, ArrayHandle handle, int32_t index) {
         void *out = nullptr;
         return array.getAt(handle, index, &out);
     }},
    {"arraySetAt", [](ArrayLibrary &array, ArrayHandle handle,
                      int32_t index) { return array.setAt(handle, index, nullptr); }},
    {"arrayRemoveAt", [](ArrayLibrary &array, ArrayHandle handle,
                         int32_t index) { return array.removeAt(handle, index); }},
};

TEST_P(ArrayTest, ABadHandleIsReportedBeforeABadIndex)
{
    addElements(3);
    handle->magic = 0x12345679;
    for (const IndexedOperation &operation : indexedOperations) {
        EXPECT_EQ(operation.call(array, handle, 3), ARRAY_ERR_HANDLE)
            << operation.name << ": wrong tag, index at the length";
        EXPECT_EQ(operation.call(array, nullptr, -1), ARRAY_ERR_HANDLE)
            << operation.name << ": null handle, negative index";
    }
    handle->magic = ARRAY_MAGIC;
}

TEST_P(ArrayTest, NullHandleAndNullOutParametersGetANegativeCode)
{
    if (checkingAnotherBuild()) {
        GTEST_SKIP() << "callers must not pass a null handle or out-parameter: our own answer";
    }
    void *out = nullptr;
    EXPECT_EQ(array.size(nullptr), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.add(nullptr, &out), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.getAt(nullptr, 0, &out), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.setAt(nullptr, 0, &out), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.removeAt(nullptr, 0), ARRAY_ERR_HANDLE);
    EXPECT_EQ(array.destroy(nullptr), ARRAY_ERR_HANDLE);

    addElements(1);
    EXPECT_LT(array.getAt(handle, 0, nullptr), 0);
}

// A null out-parameter for creation is refused with the null-handle code, not written through.
TEST_P(ArrayTest, CreateGivenANullOutParameterGetsANegativeCode)
{
    if (checkingAnotherBuild()) {
        GTEST_SKIP() << "callers must not pass a null out-parameter: our own answer";
    }
    EXPECT_EQ(array.create(nullptr), ARRAY_ERR_HANDLE);
}

TEST_P(ArrayTest, NullElementsAreStoredAndSkippedWhenReleasing)
{
    ASSERT_EQ(array.add(handle, nullptr), 0);
    addElements(1);
    void *out = &out;
    ASSERT_EQ(array.getAt(handle, 0, &out), 0);
    EXPECT_EQ(out, nullptr);
}

TEST_P(ArrayTest, GrowthPastA32BitCapacityIsRefused)
{
    // Pretend the table is full at the largest capacity that could still double.
    const ArrayRecord real = *handle;
    handle->capacity = handle->length = INT32_MAX / 2 + 1;
    int untouched = 0;
    EXPECT_EQ(array.add(handle, &untouched), ARRAY_ERR_MEMORY);
    EXPECT_EQ(handle->slots, real.slots);
    EXPECT_EQ(handle->capacity, INT32_MAX / 2 + 1);
    *handle = real;
}

// Allocation failures and releases, watched through the library's own heap calls.
class ArrayHeapTest : public ArrayTest
{
  protected:
    void SetUp() override
    {
        redirectHeapCalls(array.module);
        heapLog() = HeapLog{};
        ArrayTest::SetUp();
    }
};

TEST_P(ArrayHeapTest, DestroyReleasesEachElementInTheArrayOnce)
{
    std::vector<void *> e = addElements(20); // grows once
    ASSERT_EQ(array.add(handle, nullptr), 0);
    void *replacement = std::malloc(8);
    ASSERT_EQ(array.setAt(handle, 3, replacement), 0);
    ASSERT_EQ(array.removeAt(handle, 5), 0);
    void **table = handle->slots;
    ArrayHandle record = handle;

    heapLog() = HeapLog{};
    ASSERT_EQ(array.destroy(handle), 0);
    handle = nullptr;

    std::vector<void *> expected;
    for (int i = 0; i < 20; ++i) {
        if (i != 3 && i != 5) {
            expected.push_back(e[i]);
        }
    }
    expected.push_back(replacement);
    expected.push_back(table);
    expected.push_back(record);
    std::vector<void *> released = heapLog().released;
    std::sort(released.begin(), released.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(released, expected) << "each element once; not the removed, replaced or null ones";
    std::free(e[3]);
    std::free(e[5]);
}

TEST_P(ArrayHeapTest, CreationFailsCleanlyAtEitherAllocation)
{
    for (int failing = 1; failing <= 2; ++failing) {
        heapLog() = HeapLog{};
        heapLog().failAt = failing;
        ArrayHandle created = reinterpret_cast<ArrayHandle>(&failing);
        EXPECT_EQ(array.create(&created), ARRAY_ERR_MEMORY) << "allocation " << failing;
        EXPECT_EQ(created, nullptr);
        EXPECT_EQ(heapLog().failures, 1);
        std::vector<void *> released = heapLog().released;
        EXPECT_EQ(released, heapLog().allocated) << "nothing stays allocated";
    }
}

TEST_P(ArrayHeapTest, GrowthFailureLeavesTheArrayAsItWas)
{
    std::vector<void *> e = addElements(16);
    const ArrayRecord before = *handle;
    void *element = std::malloc(8);
    heapLog().failAt = 1;
    EXPECT_EQ(array.add(handle, element), ARRAY_ERR_MEMORY);
    EXPECT_EQ(heapLog().failures, 1);
    EXPECT_EQ(std::memcmp(&before, handle, sizeof before), 0);
    EXPECT_EQ(contents(), e);
    std::free(element); // not stored: still ours

    ASSERT_EQ(array.add(handle, std::malloc(8)), 0) << "the array still works";
    EXPECT_EQ(handle->capacity, 32);
}

// Cases named after the library: libarray_srh.so runs as .../srh.
auto libraryName = [](const auto &info) {
    const std::string file = info.param;
    return file.substr(9, file.find('.') - 9);
};
INSTANTIATE_TEST_SUITE_P(BothLibraries, ArrayTest,
                         ::testing::Values("libarray_srh.so", "libarray_del.so"), libraryName);
INSTANTIATE_TEST_SUITE_P(BothLibraries, ArrayHeapTest,
                         ::testing::Values("libarray_srh.so", "libarray_del.so"), libraryName);

} // namespace
} // namespace harness
