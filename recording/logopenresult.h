#pragma once
// What opening a log file did. The recording command needs to tell an append
// that the user asked for (the comment block then starts with a blank line)
// from one that the start-up opening does without asking.

enum class LogOpenResult {
    Failed,              // not opened: missing folder, no permission, locked, not a file
    Created,             // the file did not exist and was made empty
    Appended,            // it existed; records go after its content (no question asked)
    AppendedByAnswer,    // it existed and the user answered Yes to the question
    Emptied,             // it existed and the user answered No: it was emptied
};
