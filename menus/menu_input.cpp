// Answers typed at a menu program's prompts: a whole line is read for each, so nothing
// typed after an answer is left over for the next prompt.
#include "menu_input.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/types.h>

// True when the conversion took something and only blanks follow it.
static bool onlyBlanksAfter(const char *line, const char *end)
{
    if (end == line) {
        return false;
    }
    while (*end == ' ' || *end == '\t') {
        ++end;
    }
    return *end == '\0';
}

static bool parseInteger(const char *line, void *value)
{
    char *end;
    long number = strtol(line, &end, 10);
    if (!onlyBlanksAfter(line, end) || number < INT32_MIN || number > INT32_MAX) {
        return false;
    }
    *(int32_t *)value = (int32_t)number;
    return true;
}

static bool parseNumber(const char *line, void *value)
{
    char *end;
    float number = strtof(line, &end);
    if (!onlyBlanksAfter(line, end)) {
        return false;
    }
    *(float *)value = number;
    return true;
}

// Prints prompt and reads lines until parse accepts one; false at end of input.
static bool ask(const char *prompt, const char *complaint, bool (*parse)(const char *, void *),
                void *value)
{
    char *line = NULL;
    size_t capacity = 0;
    bool got = false;
    while (!got) {
        printf("%s", prompt);
        ssize_t length = getline(&line, &capacity, stdin);
        if (length < 0) {
            break;
        }
        if (length > 0 && line[length - 1] == '\n') {
            line[length - 1] = '\0';
        }
        got = parse(line, value);
        if (!got) {
            printf("%s\n", complaint);
        }
    }
    free(line);
    return got;
}

bool askInteger(const char *prompt, int32_t *value)
{
    return ask(prompt, "please type a whole number", parseInteger, value);
}

bool askNumber(const char *prompt, float *value)
{
    return ask(prompt, "please type a number", parseNumber, value);
}
