// Compiled in two rooms' include contexts by the rooms tests: the random
// room must not see the engine's headers, the engine room must.
#include "engine/ClusterEngine.h"
