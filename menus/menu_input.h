// Answers typed at a menu program's prompts: one whole line each, asked again until it
// holds what was asked for. Both return false at end of input.
#pragma once

#include <stdint.h>

bool askInteger(const char *prompt, int32_t *value);
bool askNumber(const char *prompt, float *value);
