// Text from a file or a command line, made safe to print in a message: printable ASCII stays as
// it is, a backslash is doubled, and every other byte (control bytes, escapes, NUL, bytes above
// 0x7E) is shown as \xNN, so a message never drives the terminal or ends early.
#pragma once

#include <string>
#include <string_view>

std::string EscapedText(std::string_view text);
