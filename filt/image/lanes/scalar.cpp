// The image-loop kernels of the scalar path, one value at a time: the reference the
// vector widths are checked against, and the path of every processor.
#define VX_PATH Scalar
#define VX_LANES 1
#define VX_LANES_TARGET
#include "filt/image/lanes/impl.h"
