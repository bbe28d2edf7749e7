// Coefficient arrays of a multi-scan JPEG kept small when it is decoded at 1/8.
//
// A progressive (or any multi-scan) JPEG is decoded in two steps: libjpeg first reads every scan
// into one array of coefficient blocks per component (64 coefficients of 2 bytes per 8x8 block:
// 36 MB for a 4000x3000 photograph), then turns the blocks into pixels. A component decoded to
// one pixel per block needs only each block's DC coefficient for its pixels, and the reading of
// the scans depends only on which coefficients are non-zero (a refinement scan reads a correction
// bit for each non-zero coefficient; the bit changes the value, never whether it is zero). So for
// such a component the array keeps, per block, the DC value and a 64-bit mask of the non-zero
// coefficients (10 bytes instead of 128), and libjpeg is handed a window of whole blocks rebuilt
// from them: a non-zero AC coefficient comes back as 1. The window is folded back into the store
// when libjpeg moves to other rows. The pixels are exactly those of libjpeg's own arrays.
//
// Components decoded larger than one pixel per block (the chroma of a 2x2-subsampled picture is
// decoded 2x2 per block, through an inverse transform that reads AC coefficients) keep libjpeg's
// own arrays. Block smoothing, which reads the neighbours' AC coefficients, is turned off: it only
// changes a picture whose scans leave its first coefficients short of full precision (a
// truncated file, mostly).
#pragma once

struct jpeg_decompress_struct;

// Call after jpeg_read_header and the output settings, before jpeg_start_decompress. Does
// nothing (false) for a single-scan JPEG or when no component is decoded one pixel per block;
// otherwise the decompressor's memory manager serves those components' coefficient arrays from
// compact stores allocated with the image (freed by jpeg_finish_decompress or jpeg_abort) and
// the result is true; the decompressor's client_data is then taken. Errors (a bad access, memory
// beyond the manager's limit) go through the decompressor's error manager, as libjpeg's own.
bool KeepDcCoefficientsOnly(jpeg_decompress_struct* cinfo);
