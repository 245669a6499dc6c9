// A network provider for tests of the reconnection rule, in place of the
// system's while a test runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "filelib/platform/platform.h"

namespace testsupport {

// Records every drive asked about; answers with `answer` and `remote`, and
// runs `onConnect` when the library reconnects, so that a folder can
// appear as a remembered network drive would.
class RecordingNet : public plat::NetProvider {
public:
    std::string asked;                  // the drives asked about, "Q:" after "Q:"
    long answer = 2250;                 // not a network drive: nothing is reconnected
    std::string remote = "\\\\server\\share";
    std::function<void()> onConnect;

    long GetConnection(const char* localName, char* out, DWORD* length) override {
        asked += localName;
        std::snprintf(out, *length, "%s", remote.c_str());
        return answer;
    }
    long AddConnection(const char*, const char*) override {
        if (onConnect) onConnect();
        return NO_ERROR;
    }
    unsigned QueryDriveType(const char*) override { return DRIVE_NO_ROOT_DIR; }
};

// A test with a RecordingNet as the library's network provider.
class WithRecordingNet : public ::testing::Test {
protected:
    void SetUp() override { plat::SetNetProvider(&net); }
    void TearDown() override { plat::SetNetProvider(nullptr); }
    RecordingNet net;
};

}  // namespace testsupport
