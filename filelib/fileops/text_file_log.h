// Reading a whole text file into one bounded buffer, and the test log
// "testoutput.txt" in the current folder.
#pragma once

// Reads the file's lines into `dest`, joined by "\n", each line without its
// line feed and cut to 2999 characters; with `dropComments` every line ends
// before its first ';'. A line that would not fit with its separator and
// the terminator inside `capacity` is left out, and later, shorter lines
// may still follow. True when the file could be opened. A capacity of 0
// writes nothing at all.
bool ReadTextFile(const char* path, char* dest, unsigned capacity, bool dropComments);

// Appends "<date and time> : <message>" as one line to "testoutput.txt" in
// the current folder, opening and closing it, so the line is on disk when
// the call returns. Writes nothing when the file cannot be opened. 0.
int WriteTestOutput(const char* message);
