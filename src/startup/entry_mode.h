// The choice between the program's two roles, made from its first argument.
#pragma once

enum class EntryMode {
    Package,  // no usable argument: extract and run the appended show
    Player,   // the argument is the show description's path
    Refused,  // a path too long for the show record: no show at all
};

// Package mode when there is no argument or it is empty or all blanks
// (characters of code 0x20 and below); otherwise player mode, unless the
// path does not fit the show record's ShowDescriptionPath with its NUL.
EntryMode SelectEntryMode(const char* argument);
