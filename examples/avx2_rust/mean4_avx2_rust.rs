//! The filter in Rust with AVX2 intrinsics from std::arch, as a kernel outside
//! mean4: the data flow of mean4's built-in "avx2" row, sixteen pixels a step
//! in 16-bit lanes, in a shared object that mean4_check checks and
//! mean4_explore --kernel measures beside that row. No crates:
//!
//!   rustc --edition 2021 --crate-type cdylib -C opt-level=3 \
//!       mean4_avx2_rust.rs -o libavx2_rust.so
//!
//! The structures below are mean4_kernel.h's, field for field (repr(C)).
//!
//! Measured on an AMD EPYC, family 25 model 17 (Zen 4), on 2026-12-10, beside
//! the built-in avx2 row in one run: x_limit 1.853 against 1.818 at side 256,
//! 1.387 against 1.395 on the full image (docs/your-kernel.md).

use std::arch::x86_64::*;
use std::os::raw::{c_char, c_int};

/// MEAN4_KERNEL_ABI of the mean4_kernel.h these structures copy: mean4
/// refuses the object if its own is another.
const ABI: u32 = 1;

#[repr(C)]
pub struct Description {
    name: *const c_char,
    rows: unsafe extern "C" fn(*const u8, usize, *mut u32, usize),
    isa: *const c_char,
    result_alignment: usize,
    edges: c_int,
    stores: c_int,
    flow: c_int,
    rows_per_pass: c_int,
    cached_twin: *const c_char,
}

#[repr(C)]
pub struct KernelSet {
    abi: u32,
    count: usize,
    kernels: *const Description,
}

const EDGES_REPAIRED: c_int = 1;
const STORES_CACHED: c_int = 0;
const FLOW_WORDS: c_int = 0;

/// Each row as if endless, as mean4's avx2 row: column 0's left neighbour is
/// the previous row's last pixel, the last column's right one the next row's
/// first, and mean4 repairs both edge columns afterwards. Four bytes sum to
/// at most 1020, which a 16-bit lane holds.
#[target_feature(enable = "avx2")]
unsafe fn avx2_rows_inner(mut src_row: *const u8, width: usize, mut dst_row: *mut u32, rows: usize) {
    for _ in 0..rows {
        let mut x = 0;
        while x < width {
            let at = src_row.add(x);
            let load = |p: *const u8| _mm256_cvtepu8_epi16(_mm_loadu_si128(p as *const __m128i));
            let left = load(at.sub(1));
            let right = load(at.add(1));
            let up = load(at.sub(width));
            let down = load(at.add(width));
            let sum = _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(right, left), down), up);
            let mean = _mm256_srli_epi16(sum, 2);
            // Widening reads the low 128-bit half: exchange the halves to
            // bring lanes 8-15 down for the second store.
            let high = _mm256_permute2x128_si256(mean, mean, 0x01);
            let out = dst_row.add(x);
            _mm256_store_si256(out as *mut __m256i, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(mean)));
            _mm256_store_si256(out.add(8) as *mut __m256i, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(high)));
            x += 16;
        }
        src_row = src_row.add(width);
        dst_row = dst_row.add(width);
    }
}

/// The row function mean4 calls; it runs only where the processor has AVX2,
/// which the description names.
unsafe extern "C" fn avx2_rows(src_row: *const u8, width: usize, dst_row: *mut u32, rows: usize) {
    avx2_rows_inner(src_row, width, dst_row, rows)
}

/// Raw pointers are not Sync; these never change and are only read.
struct Shared<T>(T);
unsafe impl<T> Sync for Shared<T> {}

static KERNELS: Shared<[Description; 1]> = Shared([Description {
    name: b"avx2\0".as_ptr() as *const c_char,
    rows: avx2_rows,
    isa: b"AVX2\0".as_ptr() as *const c_char,
    result_alignment: 32,
    edges: EDGES_REPAIRED,
    stores: STORES_CACHED,
    flow: FLOW_WORDS,
    rows_per_pass: 1,
    cached_twin: std::ptr::null(),
}]);

static SET: Shared<KernelSet> = Shared(KernelSet { abi: ABI, count: 1, kernels: &KERNELS.0 as *const [Description; 1] as *const Description });

#[no_mangle]
pub extern "C" fn mean4_kernels() -> *const KernelSet {
    &SET.0
}
