#include "algorithms.h"

int minval(int a, int b) { return a < b ? a : b; }
int maxval(int a, int b) { return a > b ? a : b; }
unsigned long minimum(unsigned long a, unsigned long b) { return a < b ? a : b; }
