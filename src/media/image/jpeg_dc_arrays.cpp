#include "media/image/jpeg_dc_arrays.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {

// One component's compact array: its size as libjpeg asked for it, the store, and the window of
// whole blocks that libjpeg reads and writes.
struct DcArray {
    JDIMENSION blocksPerRow = 0;
    JDIMENSION rows = 0;
    JDIMENSION maxAccess = 0;
    JCOEF* dc = nullptr;               // rows x blocksPerRow
    std::uint64_t* nonZero = nullptr;  // bit k: coefficient k (natural order) is not zero
    JBLOCKARRAY window = nullptr;      // maxAccess rows of whole blocks
    JDIMENSION windowStart = 0;
    JDIMENSION windowRows = 0;  // 0: the window holds nothing
    bool dirty = false;         // written since it was filled
};

// Lives in the decompressor's permanent pool, found through its client_data.
struct DcArrays {
    jvirt_barray_ptr (*stockRequest)(j_common_ptr, int, boolean, JDIMENSION, JDIMENSION,
                                     JDIMENSION) = nullptr;
    void (*stockRealize)(j_common_ptr) = nullptr;
    JBLOCKARRAY (*stockAccess)
    (j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;
    int requested = 0;  // block arrays asked for so far
    int count = 0;      // of them, compact ones in arrays[]
    DcArray arrays[MAX_COMPONENTS];
};

DcArrays* StateOf(j_common_ptr cinfo) {
    return static_cast<DcArrays*>(cinfo->client_data);
}

DcArray* Find(DcArrays* state, jvirt_barray_ptr ptr) {
    for (int i = 0; i < state->count; ++i)
        if (reinterpret_cast<jvirt_barray_ptr>(&state->arrays[i]) == ptr) return &state->arrays[i];
    return nullptr;
}

JDIMENSION RoundUp(JDIMENSION a, int b) {
    return b > 0 ? (a + JDIMENSION(b) - 1) / JDIMENSION(b) * JDIMENSION(b) : a;
}

int ScaledSize(const jpeg_component_info& component) {
#if JPEG_LIB_VERSION >= 70
    return component.DCT_h_scaled_size == component.DCT_v_scaled_size ? component.DCT_h_scaled_size
                                                                      : 0;
#else
    return component.DCT_scaled_size;
#endif
}

// The coefficient controller asks for one block array per component, in component order. The
// array is compact when it is that component's, at its size, and the component is decoded one
// pixel per block; anything else is libjpeg's own array.
jvirt_barray_ptr RequestBlockArray(j_common_ptr cinfo, int pool, boolean preZero,
                                   JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess) {
    DcArrays* state = StateOf(cinfo);
    const int index = state->requested++;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (cinfo->is_decompressor && pool == JPOOL_IMAGE && index < d->num_components &&
        state->count < MAX_COMPONENTS && maxAccess > 0) {
        const jpeg_component_info& c = d->comp_info[index];
        if (ScaledSize(c) == 1 && blocksPerRow == RoundUp(c.width_in_blocks, c.h_samp_factor) &&
            rows == RoundUp(c.height_in_blocks, c.v_samp_factor)) {
            DcArray& a = state->arrays[state->count++];
            a.blocksPerRow = blocksPerRow;
            a.rows = rows;
            a.maxAccess = maxAccess < rows ? maxAccess : rows;
            return reinterpret_cast<jvirt_barray_ptr>(&a);
        }
    }
    return state->stockRequest(cinfo, pool, preZero, blocksPerRow, rows, maxAccess);
}

// Every compact store starts zeroed: libjpeg asks for pre-zeroed arrays, and a scan that never
// comes (a truncated file) leaves zeros, as in its own arrays.
void RealizeArrays(j_common_ptr cinfo) {
    DcArrays* state = StateOf(cinfo);
    state->stockRealize(cinfo);
    std::uint64_t total = 0;
    for (int i = 0; i < state->count; ++i) {
        const DcArray& a = state->arrays[i];
        total += std::uint64_t(a.blocksPerRow) * a.rows * (sizeof(JCOEF) + sizeof(std::uint64_t)) +
                 std::uint64_t(a.blocksPerRow) * a.maxAccess * sizeof(JBLOCK);
    }
    if (cinfo->mem->max_memory_to_use > 0 && total > std::uint64_t(cinfo->mem->max_memory_to_use))
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    for (int i = 0; i < state->count; ++i) {
        DcArray& a = state->arrays[i];
        const std::size_t blocks = std::size_t(a.blocksPerRow) * a.rows;
        a.dc = static_cast<JCOEF*>(
            (*cinfo->mem->alloc_large)(cinfo, JPOOL_IMAGE, blocks * sizeof(JCOEF)));
        a.nonZero = static_cast<std::uint64_t*>(
            (*cinfo->mem->alloc_large)(cinfo, JPOOL_IMAGE, blocks * sizeof(std::uint64_t)));
        std::memset(a.dc, 0, blocks * sizeof(JCOEF));
        std::memset(a.nonZero, 0, blocks * sizeof(std::uint64_t));
        a.window = (*cinfo->mem->alloc_barray)(cinfo, JPOOL_IMAGE, a.blocksPerRow, a.maxAccess);
        a.windowRows = 0;
        a.dirty = false;
    }
}

// Bit k set where coefficient k of the block is not zero. Every pass over the scans folds and
// unfolds each block it touches, so both are done eight coefficients at a time where the
// processor allows.
std::uint64_t NonZeroMask(const JCOEF* block) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t mask = 0;
    for (int i = 0; i < DCTSIZE2; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 8));
        const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
        mask |= std::uint64_t(~unsigned(_mm_movemask_epi8(zeros)) & 0xFFFFu) << i;
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (int k = 0; k < DCTSIZE2; ++k) mask |= std::uint64_t(block[k] != 0) << k;
    return mask;
#endif
}

// The block whose coefficient k is 1 where bit k of the mask is set, 0 elsewhere.
void ExpandMask(std::uint64_t mask, JCOEF* block) {
#ifdef __SSE2__
    const __m128i bits = _mm_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128);
    for (int i = 0; i < DCTSIZE2; i += 8, mask >>= 8) {
        const __m128i byte = _mm_set1_epi16(short(mask & 0xFF));
        const __m128i set = _mm_cmpeq_epi16(_mm_and_si128(byte, bits), bits);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_srli_epi16(set, 15));
    }
#else
    for (int k = 0; k < DCTSIZE2; ++k) block[k] = JCOEF((mask >> k) & 1);
#endif
}

// The window's blocks back into the store.
void Fold(DcArray& a) {
    for (JDIMENSION r = 0; r < a.windowRows; ++r) {
        const std::size_t at = std::size_t(a.windowStart + r) * a.blocksPerRow;
        const JBLOCKROW row = a.window[r];
        for (JDIMENSION b = 0; b < a.blocksPerRow; ++b) {
            a.dc[at + b] = row[b][0];
            a.nonZero[at + b] = NonZeroMask(row[b]);
        }
    }
    a.dirty = false;
}

// Rows [start, start + count) of the store into the window as whole blocks.
void Unfold(DcArray& a, JDIMENSION start, JDIMENSION count) {
    for (JDIMENSION r = 0; r < count; ++r) {
        const std::size_t at = std::size_t(start + r) * a.blocksPerRow;
        JBLOCKROW row = a.window[r];
        for (JDIMENSION b = 0; b < a.blocksPerRow; ++b) {
            ExpandMask(a.nonZero[at + b], row[b]);
            row[b][0] = a.dc[at + b];
        }
    }
    a.windowStart = start;
    a.windowRows = count;
}

JBLOCKARRAY AccessBlockArray(j_common_ptr cinfo, jvirt_barray_ptr ptr, JDIMENSION start,
                             JDIMENSION count, boolean writable) {
    DcArrays* state = StateOf(cinfo);
    DcArray* a = Find(state, ptr);
    if (!a) return state->stockAccess(cinfo, ptr, start, count, writable);
    if (!a->window || count > a->maxAccess || start > a->rows || count > a->rows - start)
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    if (a->windowRows == 0 || start < a->windowStart ||
        start + count > a->windowStart + a->windowRows) {
        if (a->dirty) Fold(*a);
        const JDIMENSION rows = a->rows - start < a->maxAccess ? a->rows - start : a->maxAccess;
        Unfold(*a, start, rows);
    }
    if (writable) a->dirty = true;
    return a->window + (start - a->windowStart);
}

}  // namespace

bool KeepDcCoefficientsOnly(jpeg_decompress_struct* cinfo) {
    if (!cinfo || !jpeg_has_multiple_scans(cinfo) || cinfo->buffered_image) return false;
    // The scaled sizes of the components follow from the output settings.
    jpeg_calc_output_dimensions(cinfo);
    bool any = false;
    for (int ci = 0; ci < cinfo->num_components; ++ci)
        if (ScaledSize(cinfo->comp_info[ci]) == 1) any = true;
    if (!any) return false;
    auto* common = reinterpret_cast<j_common_ptr>(cinfo);
    auto* state =
        new ((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(DcArrays))) DcArrays{};
    state->stockRequest = cinfo->mem->request_virt_barray;
    state->stockRealize = cinfo->mem->realize_virt_arrays;
    state->stockAccess = cinfo->mem->access_virt_barray;
    cinfo->client_data = state;
    cinfo->mem->request_virt_barray = RequestBlockArray;
    cinfo->mem->realize_virt_arrays = RealizeArrays;
    cinfo->mem->access_virt_barray = AccessBlockArray;
    cinfo->do_block_smoothing = FALSE;
    return true;
}
