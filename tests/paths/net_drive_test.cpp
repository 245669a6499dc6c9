#include "filelib/paths/net_drive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <vector>
#include <string>

#include "filelib/enum/file_finder.h"
#include "filelib/platform/platform.h"
#include "support/temp_dir.h"

namespace {

// Drives every answer the system can give, and records what was asked.
class FakeNet : public plat::NetProvider {
public:
    struct Drive {
        long answer;             // of GetConnection
        std::string remote;
        long reconnect = NO_ERROR;
        unsigned type = DRIVE_NO_ROOT_DIR;
    };
    std::map<char, Drive> drives;
    std::string queries, connects;

    long GetConnection(const char* localName, char* remote, DWORD* length) override {
        queries += localName;
        EXPECT_EQ(300u, *length);
        auto it = drives.find(localName[0]);
        if (it == drives.end() || localName[1] != ':' || localName[2] != 0) return 2250;
        std::snprintf(remote, *length, "%s", it->second.remote.c_str());
        return it->second.answer;
    }
    long AddConnection(const char* localName, const char* remote) override {
        connects += std::string(localName) + "=" + remote + ";";
        return drives[localName[0]].reconnect;
    }
    unsigned QueryDriveType(const char* root) override {
        auto it = drives.find(root[0]);
        return it == drives.end() ? DRIVE_NO_ROOT_DIR : it->second.type;
    }
};

class NetDrive : public ::testing::Test {
protected:
    void SetUp() override { plat::SetNetProvider(&net); }
    void TearDown() override { plat::SetNetProvider(nullptr); }
    FakeNet net;
};

TEST_F(NetDrive, ResultCodes) {
    net.drives['E'] = {NO_ERROR, "\\\\srv\\e"};
    net.drives['F'] = {ERROR_CONNECTION_UNAVAIL, "\\\\srv\\f"};
    net.drives['G'] = {ERROR_CONNECTION_UNAVAIL, "\\\\gone\\g", 53};
    net.drives['H'] = {1222, ""};
    EXPECT_EQ(1, ReconnectNetDrive('E'));
    EXPECT_EQ(0, ReconnectNetDrive('F'));
    EXPECT_EQ(2, ReconnectNetDrive('G'));
    EXPECT_EQ(2, ReconnectNetDrive('H'));
    EXPECT_EQ(2, ReconnectNetDrive('C'));
    EXPECT_EQ("E:F:G:H:C:", net.queries);
    EXPECT_EQ("F:=\\\\srv\\f;G:=\\\\gone\\g;", net.connects);
    net.queries.clear();
    EXPECT_EQ(3, ReconnectNetDrive(0));
    EXPECT_EQ("", net.queries);
}

TEST_F(NetDrive, ReconnectAllReportsInLetterOrder) {
    net.drives['E'] = {NO_ERROR, "\\\\srv\\e", NO_ERROR, DRIVE_REMOTE};
    net.drives['F'] = {ERROR_CONNECTION_UNAVAIL, "\\\\srv\\f", NO_ERROR, DRIVE_NO_ROOT_DIR};
    net.drives['G'] = {NO_ERROR, "\\\\srv\\g", NO_ERROR, DRIVE_UNKNOWN};
    net.drives['H'] = {ERROR_CONNECTION_UNAVAIL, "\\\\srv\\h", 5, DRIVE_NO_ROOT_DIR};
    net.drives['I'] = {NO_ERROR, "", NO_ERROR, DRIVE_FIXED};
    net.drives['C'] = {ERROR_CONNECTION_UNAVAIL, "\\\\srv\\c"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, ReconnectNetDrives(true));
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        "... Netzlaufwerk E ist bereits geoeffnet\n"
        "... Netzlaufwerk F geoeffnet\n"
        "... Netzlaufwerk G ist bereits geoeffnet\n",
        printed);
    // Remote drives are not asked again; fixed ones and A to C not at all.
    EXPECT_EQ(std::string::npos, net.queries.find("E:"));
    EXPECT_EQ(std::string::npos, net.queries.find("I:"));
    EXPECT_EQ(std::string::npos, net.queries.find("C:"));
    EXPECT_EQ(0u, net.queries.find("D:F:G:H:J:"));

    testing::internal::CaptureStdout();
    ReconnectNetDrives(false);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST_F(NetDrive, FinderTriesDriveLettersOnlyWhenTheFolderCannotBeRead) {
    net.drives['Q'] = {ERROR_CONNECTION_UNAVAIL, "\\\\srv\\q"};
    CFileFinder finder;
    char onDrive[16] = "q:\\nowhere";
    EXPECT_FALSE(finder.FindFirst(onDrive));
    EXPECT_EQ("Q:", net.queries);
    EXPECT_EQ("Q:=\\\\srv\\q;", net.connects);
    EXPECT_FALSE(finder.FindFirstDir(onDrive));
    EXPECT_EQ("Q:Q:", net.queries);
    testsupport::TempDir dir;
    std::string path = dir.path();
    std::vector<char> text(path.begin(), path.end());
    text.push_back(0);
    net.queries.clear();
    finder.FindFirst(text.data());
    EXPECT_EQ("", net.queries);
}

}  // namespace
