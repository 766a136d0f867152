// The one way a symbol leaves the library: everything else is hidden.
#pragma once

#define LIKENESS_EXPORT __attribute__((visibility("default")))
