// The words that mark a kernel report: a fault, a warning, or a finding of one of the
// debugging kernel's instruments (KASAN, UBSAN, lockdep, the usercopy, fortify, list and
// atomic-sleep checks). Once the module is loaded, none may appear in the kernel log (the
// debugging kernel names lockdep once at boot, before that).
#pragma once

#include <string>

inline constexpr const char *kernelReportWords[] = {"WARNING",
                                                    "BUG",
                                                    "Oops",
                                                    "Call Trace",
                                                    "KASAN",
                                                    "UBSAN",
                                                    "lockdep",
                                                    "usercopy",
                                                    "corruption",
                                                    "Buffer overflow detected",
                                                    "sleeping function called"};

// The first report word in text, or nullptr when there is none.
inline const char *kernelReportIn(const std::string &text)
{
    for (const char *word : kernelReportWords) {
        if (text.find(word) != std::string::npos) {
            return word;
        }
    }
    return nullptr;
}
