// The libvecbox stand-in's ownership of records where libmember's own use does not reach:
// a record it cannot keep is released, one it keeps or never took is not.
#include "heap_hook.h"
#include "vecbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <vector>

namespace harness
{
namespace
{

class VecBoxTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        void *module = dlopen("libvecbox.so", RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(module, nullptr);
        redirectHeapCalls(module);
        dlclose(module);
        ASSERT_EQ(CreateArray(&handle), 0);
        heapLog() = {};
    }

    void TearDown() override
    {
        if (handle != nullptr) {
            DestroyArray(handle);
        }
    }

    // A record of the test's own making, handed over to the component.
    static void *newRecord()
    {
        return std::malloc(16);
    }

    void *recordAt(int32_t index)
    {
        void *record = nullptr;
        EXPECT_EQ(GetArray(handle, index, &record), 0) << "index " << index;
        return record;
    }

    int32_t count()
    {
        int32_t size = -1;
        CheckSize(handle, &size);
        return size;
    }

    std::vector<void *> addRecords(int how_many)
    {
        std::vector<void *> records;
        for (int i = 0; i < how_many; ++i) {
            records.push_back(newRecord());
            EXPECT_EQ(AddArray(handle, records.back()), 0);
        }
        return records;
    }

    VecBoxHandle handle = nullptr;
};

TEST_F(VecBoxTest, SetArrayOfARecordInItsOwnPlaceKeepsIt)
{
    const std::vector<void *> records = addRecords(1);
    EXPECT_EQ(SetArray(handle, 0, records[0]), 0);
    EXPECT_TRUE(heapLog().released.empty());
    EXPECT_EQ(recordAt(0), records[0]);
}

TEST_F(VecBoxTest, SetArrayOutsideTheRecordsReleasesTheNewOneOnly)
{
    const std::vector<void *> records = addRecords(1);
    void *pastTheEnd = newRecord();
    void *negative = newRecord();
    EXPECT_LT(SetArray(handle, 1, pastTheEnd), 0);
    EXPECT_LT(SetArray(handle, -1, negative), 0);
    EXPECT_EQ(heapLog().released, (std::vector<void *>{pastTheEnd, negative}));
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(recordAt(0), records[0]);
}

TEST_F(VecBoxTest, RemoveArrayOutsideTheRecordsReleasesNothing)
{
    addRecords(1);
    EXPECT_LT(RemoveArray(handle, 1), 0);
    EXPECT_LT(RemoveArray(handle, -1), 0);
    EXPECT_TRUE(heapLog().released.empty());
    EXPECT_EQ(count(), 1);
}

TEST_F(VecBoxTest, DestroyReleasesEveryRecordLeftOnce)
{
    const std::vector<void *> records = addRecords(3);
    ASSERT_EQ(RemoveArray(handle, 1), 0);
    heapLog() = {};
    EXPECT_EQ(DestroyArray(handle), 0);
    handle = nullptr;
    const std::vector<void *> &released = heapLog().released;
    EXPECT_EQ(std::count(released.begin(), released.end(), records[0]), 1);
    EXPECT_EQ(std::count(released.begin(), released.end(), records[1]), 0);
    EXPECT_EQ(std::count(released.begin(), released.end(), records[2]), 1);
}

TEST_F(VecBoxTest, ARecordThatCannotBeKeptIsReleased)
{
    addRecords(16); // the first table is full; the next add must grow it
    void *refused = newRecord();
    heapLog().failAt = 1;
    EXPECT_EQ(AddArray(handle, refused), -1000);
    EXPECT_EQ(heapLog().released, std::vector<void *>{refused});
    EXPECT_EQ(count(), 16);

    void *orphan = newRecord();
    EXPECT_LT(AddArray(nullptr, orphan), 0);
    EXPECT_EQ(heapLog().released, (std::vector<void *>{refused, orphan}));
}

TEST_F(VecBoxTest, AnUnusableHandleCountsZero)
{
    int32_t size = 7;
    EXPECT_LT(CheckSize(nullptr, &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_LT(CheckSize(handle, nullptr), 0);
    void *record = nullptr;
    EXPECT_LT(GetArray(handle, 0, &record), 0);
    EXPECT_LT(GetArray(nullptr, 0, &record), 0);
}

} // namespace
} // namespace harness
