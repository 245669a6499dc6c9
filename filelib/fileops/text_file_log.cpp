#include "filelib/fileops/text_file_log.h"

#include <cstdio>
#include <cstring>

#include "filelib/datetime/datetime_rec.h"
#include "filelib/fileops/line_reader.h"

bool ReadTextFile(const char* path, char* dest, unsigned capacity, bool dropComments) {
    if (path == nullptr || (dest == nullptr && capacity != 0)) return false;
    if (capacity != 0) dest[0] = 0;
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) return false;
    if (capacity == 0) {
        std::fclose(file);
        return true;
    }
    // The length so far is kept, so a long file is read in linear time.
    size_t length = 0;
    char line[kLineWorkSize];
    while ((dropComments ? ReadLineCutComment(file, line, sizeof line) : ReadLine(file, line, sizeof line)) == 0) {
        const size_t lineLength = std::strlen(line);
        if (length + lineLength + 1 >= capacity) continue;
        if (length != 0) dest[length++] = '\n';
        std::memcpy(dest + length, line, lineLength + 1);
        length += lineLength;
    }
    std::fclose(file);
    return true;
}

int WriteTestOutput(const char* message) {
    FILE* log = std::fopen("testoutput.txt", "a");
    if (log == nullptr) return 0;
    DATETIMEREC now;
    GetCurrentDateTimeRec(&now);
    std::fprintf(log, "%s : %s\n", FormatDateTime(&now), message != nullptr ? message : "");
    std::fclose(log);
    return 0;
}
