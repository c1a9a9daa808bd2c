// The two calls of the outside library libminmax, as its users declare them.
// Plain C names, so that the library exports exactly `max` and `min`.
#ifndef LABS_MINMAX_H
#define LABS_MINMAX_H

#ifdef __cplusplus
extern "C" {
#endif

int max(int a, int b); // the greater of a and b
int min(int a, int b); // the smaller of a and b

#ifdef __cplusplus
}
#endif

#endif
