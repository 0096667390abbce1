/* libPellix.so is linked from the component's archive; this unit only checks that the public
 * header compiles as C99. */
#include "Pellix.h"
