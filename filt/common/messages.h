// Every message the library throws, in one place.
#ifndef VXFREQ_FILT_MESSAGES_H
#define VXFREQ_FILT_MESSAGES_H

namespace vx_detail::msg {
inline constexpr const wchar_t* kBufferUninitialized = L"FrequencyBuffer has not been initialized";
inline constexpr const wchar_t* kFilterUninitialized = L"FrequencyFilter has not been initialized";
inline constexpr const wchar_t* kInverseComputed =
    L"Cannot access frequency data once inverse has been computed.";
inline constexpr const wchar_t* kBadCoord = L"Coordinates are out of bounds";
inline constexpr const wchar_t* kCopiedWidthTooSmall = L"Copied width must be > 1";
inline constexpr const wchar_t* kCopiedHeightTooSmall = L"Copied height must be > 1";
inline constexpr const wchar_t* kCopiedWidthTooLarge =
    L"Copied width cannot be greater than source width";
inline constexpr const wchar_t* kCopiedHeightTooLarge =
    L"Copied height cannot be greater than source height";
inline constexpr const wchar_t* kUnsupportedWidth = L"Unsupported width";
inline constexpr const wchar_t* kUnsupportedHeight = L"Unsupported height";
inline constexpr const wchar_t* kTooLarge = L"Width and Height must be no larger than 2048.";
inline constexpr const wchar_t* kTooLargeExtended =
    L"Width and Height must be no larger than 16384.";
inline constexpr const wchar_t* kPelBuffersDiffer =
    L"Real and Imaginary PelBuffers must have the same dimensions and offset.";
inline constexpr const wchar_t* kImagePairDiffers =
    L"Real and Imaginary buffers must have the same size and offset.";
inline constexpr const wchar_t* kAddSizes = L"Can only add equal-sized frequency buffers.";
inline constexpr const wchar_t* kSubtractSizes =
    L"Can only subtract equal-sized frequency buffers.";
inline constexpr const wchar_t* kMultiplySizes =
    L"Can only multiply equal-sized frequency buffers.";
inline constexpr const wchar_t* kFilterSize =
    L"Size of frequency buffer does not match size of filter.";
inline constexpr const wchar_t* kPowerOfTwo = L"Size must be a power of 2.";
inline constexpr const wchar_t* kFilterSideRange = L"Size must be from 1 to 2^30.";
inline constexpr const wchar_t* kCompatibleTransformSides =
    L"The compatible mode transforms sides that are powers of two only.";
inline constexpr const wchar_t* kUnknownSizeRule = L"Unknown transform sizing rule.";
inline constexpr const wchar_t* kExplicitSize =
    L"The transform size must be from 1 to 16384 along each side.";
inline constexpr const wchar_t* kBelowExplicitSize =
    L"The picture and its padding are larger than the explicit transform size.";
inline constexpr const wchar_t* kFastSizeRange = L"Sizes above 2^40 have no next fast size here.";
inline constexpr const wchar_t* kArchiveSizeCompatible =
    L"Archived frequency buffer has a transform size the compatible mode does not support "
    L"(powers of two up to 2048)";
inline constexpr const wchar_t* kArchiveSizeExtended =
    L"Archived frequency buffer has a transform size outside 1 to 16384";
inline constexpr const wchar_t* kFrequencyRange = L"Frequency must be between 0.0 and 0.5.";
inline constexpr const wchar_t* kSigmaPositive = L"Sigma must be positive.";
inline constexpr const wchar_t* kPlateauNegative = L"Plateau cannot be negative.";
inline constexpr const wchar_t* kDcRemovalNegative = L"DC Removal Radius cannot be negative.";
inline constexpr const wchar_t* kDcProtectionNegative = L"DC Protection Radius cannot be negative.";
inline constexpr const wchar_t* kSigmasPositive = L"Sigma values must be positive.";
inline constexpr const wchar_t* kPlateausNegative = L"Plateau values cannot be negative.";
inline constexpr const wchar_t* kAngleFinite = L"Angle must be a finite number.";
inline constexpr const wchar_t* kSigmasNumbers = L"Sigma values must be numbers.";
inline constexpr const wchar_t* kPlateausNumbers = L"Plateau values must be numbers.";
inline constexpr const wchar_t* kRadiusTooLarge = L"DC radius must fit in 32 bits.";
inline constexpr const wchar_t* kFilterTableTooLarge =
    L"The filter's gain table would have more than 2^31 - 4 entries.";
inline constexpr const wchar_t* kFilterNotResizable =
    L"Only band and Gabor filters can be rebuilt for another size.";
inline constexpr const wchar_t* kContinueNeedsFilter =
    L"A filter is needed to continue the picture's patterns.";
inline constexpr const wchar_t* kContinueNoRoom =
    L"No room to continue the picture's patterns: a side of the picture fills the mode's "
    L"largest transform.";
inline constexpr const wchar_t* kUnknownPadding = L"Unknown padding.";
inline constexpr const wchar_t* kUnknownWindow = L"Unknown window shape.";
inline constexpr const wchar_t* kUnknownEngine = L"Unknown engine.";
inline constexpr const wchar_t* kTukeyFraction = L"Tukey fraction must be between 0.0 and 1.0.";
inline constexpr const wchar_t* kPictureSide = L"Width and Height must be between 1 and 2048.";
inline constexpr const wchar_t* kPictureSideExtended =
    L"Width and Height must be between 1 and 16384.";
inline constexpr const wchar_t* kOffsetRange = L"Offset must fit in 32 bits.";
inline constexpr const wchar_t* kImageLargerThanTransform =
    L"Image size must be between 1 and the transform size.";
inline constexpr const wchar_t* kSamplesNull = L"Samples must not be null.";
inline constexpr const wchar_t* kStackCount = L"A stack must hold 0 or more pictures.";
inline constexpr const wchar_t* kStackSamplesNull = L"The values of a stack must not be null.";
inline constexpr const wchar_t* kStackOutputCount =
    L"The output stack must hold as many pictures as the input, of as many rows.";
inline constexpr const wchar_t* kStackSpectrumWidth =
    L"A stack's spectra must be as wide as its pictures or half as wide plus one.";
inline constexpr const wchar_t* kStackComplexWidth =
    L"A complex stack's output must be as wide as its input.";
inline constexpr const wchar_t* kChannelCount = L"A picture must have 1 or more channels.";
inline constexpr const wchar_t* kChannelsNull = L"The pixels and the result must not be null.";
inline constexpr const wchar_t* kChannelRows =
    L"Rows must lie at least width x channels values apart, within the address space.";
inline constexpr const wchar_t* kChannelsOverlap =
    L"The result must be the pixels themselves, with the same row stride, or lie apart from "
    L"them.";
}  // namespace vx_detail::msg

#endif
