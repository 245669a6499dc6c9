// Uses a few operations of the installed library and checks their results,
// so that a library that links but does not work fails too.
#include <cstdio>
#include <cstring>

#include "filelib/amount/amount.h"
#include "filelib/paths/path_parts.h"

static int failures = 0;

static void Expect(const char* what, const char* expected, const char* actual) {
    if (std::strcmp(expected, actual) == 0) return;
    std::printf("%s: expected \"%s\", got \"%s\"\n", what, expected, actual);
    ++failures;
}

int main() {
    Expect("CAmount::Format", "-1.234,05", CAmount(-1234, 5, 0).Format());
    Expect("GetPathTitle", "two", GetPathTitle("C:\\a\\two.txt"));
    if (failures == 0) std::printf("filelib consumer: ok\n");
    return failures == 0 ? 0 : 1;
}
