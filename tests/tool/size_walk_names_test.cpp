// The size walk on the trees an 8-bit, 260-character search loses from:
// the same table gives the same total on every system.

#include "tool/size_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

using testsupport::TempDir;

TEST(SizeWalkNames, DeepAndForeignTreesGiveTheirTableTotal) {
    for (const testsupport::LabelledTree& c : testsupport::LongAndForeignTrees()) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const uint64_t expected = testsupport::WriteTree(dir / "top", c.files);
        ASSERT_NE(UINT64_MAX, expected);
        dir.WriteFile("beside", 5);  // outside the walked tree
        std::string top = dir / "top";
        top.push_back('\0');
        EXPECT_EQ(expected, WalkSizeBytes(&top[0]));
        // The command, as a user runs it.
        const testsupport::ProcessResult result =
            testsupport::RunProcess(testsupport::BuiltProgram("vorkstat"), {dir / "top", "/X"});
        const std::string eol = testsupport::IsPosix() ? "\n" : "\r\n";
        EXPECT_EQ("Speicherbedarf: " + std::to_string(expected) + " Bytes" + eol, result.output);
        EXPECT_EQ("", result.errors);
    }
}

}  // namespace
