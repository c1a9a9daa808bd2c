// A recording test double of the array component: another libvecbox.so, in its own
// folder, that keeps records like the real one and writes one line per call on standard
// output, so a caller's prompts and its component calls show up in one transcript.
// VECBOX_DOUBLE_COUNT makes CheckSize misreport while it records: a number to report,
// or "untouched" to leave the caller's variable as it was. VECBOX_DOUBLE_ADDED is the
// number AddArray answers while it records (0 otherwise); it keeps the record all the same.
#include "member.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

struct Store {
    std::vector<MemberRecord *> records;
};

Store *created = nullptr; // the one handle this double has handed out
bool recording = true;

// The store a call works on, and whether the caller passed the handle it was given.
Store *storeOf(VecBoxHandle handle, std::string &note)
{
    if (handle != created) {
        note = " wrong handle";
    }
    return created;
}

std::string describe(const MemberRecord *record)
{
    char text[128];
    std::snprintf(text, sizeof text, "%s|%s|%g", record->name, record->telNo,
                  (double)record->mileage);
    return text;
}

void logCall(const std::string &line)
{
    if (recording) {
        std::printf("[%s]\n", line.c_str());
    }
}

bool isIndex(const Store *store, int32_t index)
{
    return store != nullptr && index >= 0 &&
           static_cast<std::size_t>(index) < store->records.size();
}

} // namespace

extern "C" {

// Turns the call log on or off (it starts on), so a test driver can set up and
// inspect the records without the log.
__attribute__((visibility("default"))) void VecBoxDoubleRecord(int on)
{
    recording = on != 0;
}

int32_t CreateArray(VecBoxHandle *handle)
{
    created = new Store;
    *handle = created;
    logCall("CreateArray");
    return 0;
}

int32_t DestroyArray(VecBoxHandle handle)
{
    std::string note;
    Store *store = storeOf(handle, note);
    logCall("DestroyArray" + note);
    for (MemberRecord *record : store->records) {
        std::free(record);
    }
    delete store;
    created = nullptr;
    return 0;
}

int32_t AddArray(VecBoxHandle handle, void *record)
{
    std::string note;
    Store *store = storeOf(handle, note);
    auto *member = static_cast<MemberRecord *>(record);
    logCall("AddArray " + describe(member) + note);
    store->records.push_back(member);
    const char *answer = recording ? std::getenv("VECBOX_DOUBLE_ADDED") : nullptr;
    return answer != nullptr ? std::atoi(answer) : 0;
}

int32_t CheckSize(VecBoxHandle handle, int32_t *count)
{
    std::string note;
    Store *store = storeOf(handle, note);
    const char *misreport = recording ? std::getenv("VECBOX_DOUBLE_COUNT") : nullptr;
    if (misreport != nullptr && std::string(misreport) == "untouched") {
        logCall("CheckSize untouched" + note);
        return 0;
    }
    *count =
        misreport != nullptr ? std::atoi(misreport) : static_cast<int32_t>(store->records.size());
    logCall("CheckSize " + std::to_string(*count) + note);
    return 0;
}

int32_t GetArray(VecBoxHandle handle, int32_t index, void **record)
{
    std::string note;
    Store *store = storeOf(handle, note);
    if (!isIndex(store, index)) {
        logCall("GetArray " + std::to_string(index) + " none" + note);
        return -1;
    }
    *record = store->records[index];
    logCall("GetArray " + std::to_string(index) + " " + store->records[index]->name + note);
    return 0;
}

int32_t SetArray(VecBoxHandle handle, int32_t index, void *record)
{
    std::string note;
    Store *store = storeOf(handle, note);
    auto *member = static_cast<MemberRecord *>(record);
    logCall("SetArray " + std::to_string(index) + " " + describe(member) + note);
    if (!isIndex(store, index)) {
        std::free(member);
        return -1;
    }
    std::free(store->records[index]);
    store->records[index] = member;
    return 0;
}

int32_t RemoveArray(VecBoxHandle handle, int32_t index)
{
    std::string note;
    Store *store = storeOf(handle, note);
    logCall("RemoveArray " + std::to_string(index) + note);
    if (!isIndex(store, index)) {
        return -1;
    }
    std::free(store->records[index]);
    store->records.erase(store->records.begin() + index);
    return 0;
}

} // extern "C"
