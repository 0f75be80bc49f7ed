// The image-loop kernels of the scalar path, one value at a time: the reference
// the vector widths are checked against, and the path of every processor.
#include "filt/image_kernels.h"
#define VX_LANES 1
#define VX_LANES_TARGET
#define VX_IMAGE_KERNELS kScalarImageKernels
#include "filt/image_lanes_impl.h"
