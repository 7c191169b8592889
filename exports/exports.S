/* The export routines, one per catalogue row.
 *
 * Each row of the tables becomes a few instructions here and an entry in the export
 * table (through the .drectve section, so the export list comes from the same rows).
 * Slot k of the caller's frame lies at [esp + 4*k] on entry. Callee-cleans routines
 * end in "ret 4*slots"; caller-cleans ones in a plain "ret".
 */
	.intel_syntax noprefix

	.macro zk_export tail
	.section .drectve
	.ascii " -export:Dravmok_5748B89C_1_\tail"
	.text
	.globl _Dravmok_5748B89C_1_\tail
	.p2align 4, 0xcc
_Dravmok_5748B89C_1_\tail:
	.endm

/* ---- constants ---------------------------------------------------------------- */

	.macro zk_const_text tail, id, slots
	zk_export \tail
	mov eax, OFFSET _ZkPool_\id
	ret 4*\slots
	.endm

	.macro zk_const_int tail, value, slots
	zk_export \tail
	mov eax, \value
	ret 4*\slots
	.endm

	.macro zk_const_real tail, id, slots
	zk_export \tail
	fld QWORD PTR [_ZkPool_\id]
	ret 4*\slots
	.endm

/* ---- arguments ---------------------------------------------------------------- */

/* Loading a signalling NaN (or, under an unmasked denormal exception, a subnormal)
 * would raise into the host. Doubles whose exponent is all ones or all zeros take the
 * out-of-line path, which loads the exact 80-bit equivalent instead. */
	.macro zk_pass_real tail, slot, slots
	zk_export \tail
	mov eax, [esp + 4*\slot + 4]
	add eax, 0x00100000
	test eax, 0x7FE00000
	jz .Lzk_pass_real_rare\@
	fld QWORD PTR [esp + 4*\slot]
	ret 4*\slots
	.section .text$zk_rare, "xr"
.Lzk_pass_real_rare\@:
	lea ecx, [esp + 4*\slot]
	call _zk_load_exact
	ret 4*\slots
	.text
	.endm

	.macro zk_pass_int tail, slot, slots
	zk_export \tail
	mov eax, [esp + 4*\slot]
	ret 4*\slots
	.endm

/* fild is exact for every 32-bit integer and raises nothing, so the double it
 * leaves is already the widened value. */
	.macro zk_widen_int tail, slot, slots
	zk_export \tail
	fild DWORD PTR [esp + 4*\slot]
	ret 4*\slots
	.endm

/* ---- computing ---------------------------------------------------------------- */

	.macro zk_char_code_at tail, text, index, slots
	zk_export \tail
	mov ecx, [esp + 4*\text]
	mov edx, \index
	call @ZkCharCodeAt@8
	ret 4*\slots
	.endm

	.macro zk_char_code_at_slot tail, text, index, slots
	zk_export \tail
	mov ecx, [esp + 4*\text]
	mov edx, [esp + 4*\index]
	call @ZkCharCodeAt@8
	ret 4*\slots
	.endm

	.macro zk_round_half_up tail, x, slots
	zk_export \tail
	lea ecx, [esp + 4*\x]
	call _zk_round_half_up
	ret 4*\slots
	.endm

	.macro zk_larger_of tail, a, b, slots
	zk_export \tail
	lea ecx, [esp + 4*\a]
	lea edx, [esp + 4*\b]
	call _zk_larger_of
	ret 4*\slots
	.endm

	.macro zk_quotient tail, a, b
	zk_export \tail
	lea ecx, [esp + 4*\a]
	lea edx, [esp + 4*\b]
	mov eax, OFFSET _zk_quotient_kernel
	call _zk_fp_masked
	ret
	.endm

	.macro zk_increment tail, n, slots
	zk_export \tail
	mov eax, [esp + 4*\n]
	inc eax
	ret 4*\slots
	.endm

	.macro zk_per_hundred_ratio tail, a, b, slots
	zk_export \tail
	lea ecx, [esp + 4*\a]
	lea edx, [esp + 4*\b]
	mov eax, OFFSET _zk_per_hundred_ratio_kernel
	call _zk_fp_masked
	ret 4*\slots
	.endm

	.macro zk_format_fixed tail, x, decimals
	zk_export \tail
	lea ecx, [esp + 4*\x]
	mov edx, \decimals
	call _zk_format_fixed
	ret
	.endm

/* ---- shared tails -------------------------------------------------------------- */

	.text
	.p2align 4, 0xcc
/* ecx: address of a double. Pushes it onto the x87 stack, raising nothing. */
_zk_load_double:
	mov eax, [ecx + 4]
	add eax, 0x00100000
	test eax, 0x7FE00000
	jz _zk_load_exact
	fld QWORD PTR [ecx]
	ret

	.section .text$zk_rare, "xr"
/* ecx: address of a double. An 80-bit load raises no exception for any value. */
_zk_load_exact:
	sub esp, 12
	mov edx, esp
	call @ZkToExtended@8
	fld TBYTE PTR [esp]
	add esp, 12
	ret
	.text

	.p2align 4, 0xcc
_zk_round_half_up:
	call @ZkRoundHalfUp@4
	push eax
	fild DWORD PTR [esp]
	add esp, 4
	ret

	.p2align 4, 0xcc
_zk_larger_of:
	call @ZkLargerOf@8
	mov ecx, eax
	jmp _zk_load_double

/* Kernels: ecx and edx address the operands; the result is left in ST(0) at the
 * unit's working precision. */
	.p2align 4, 0xcc
_zk_quotient_kernel:
	fld QWORD PTR [ecx]
	fdiv QWORD PTR [edx]
	ret

	.p2align 4, 0xcc
_zk_per_hundred_ratio_kernel:
	fld QWORD PTR [_ZkPool_Real100]
	fdiv QWORD PTR [ecx]
	fmul QWORD PTR [edx]
	ret

/* eax: kernel. Runs it under the caller's precision and rounding and returns its
 * result rounded to a double. When the caller has every exception masked this is
 * the plain sequence; otherwise the kernel runs masked and the caller's environment
 * comes back with only the flags it masks added, so nothing is left pending. */
	.p2align 4, 0xcc
_zk_fp_masked:
	sub esp, 8
	fnstcw WORD PTR [esp]
	not BYTE PTR [esp]
	test BYTE PTR [esp], 0x3F
	jnz .Lzk_fp_unmasked
	call eax
	fstp QWORD PTR [esp]
	fld QWORD PTR [esp]
	add esp, 8
	ret
.Lzk_fp_unmasked:
	sub esp, 40
	fnstenv [esp]                /* also masks every exception */
	call eax
	fstp QWORD PTR [esp + 28]
	fld QWORD PTR [esp + 28]
	fstp TBYTE PTR [esp + 28]
	fnstsw ax
	and eax, [esp]               /* flags whose exceptions the caller masks */
	and eax, 0x3F
	or [esp + 4], eax
	fldenv [esp]
	fld TBYTE PTR [esp + 28]
	add esp, 48
	ret

/* ecx: address of x, edx: decimals. FormatFixed's own floating-point work must not
 * reach a caller whose control word unmasks exceptions. */
	.p2align 4, 0xcc
_zk_format_fixed:
	push eax
	fnstcw WORD PTR [esp]
	not BYTE PTR [esp]
	test BYTE PTR [esp], 0x3F
	jnz .Lzk_format_unmasked
	add esp, 4
	jmp @ZkFormatFixed@8
.Lzk_format_unmasked:
	sub esp, 28
	fnstenv [esp]
	call @ZkFormatFixed@8
	fldenv [esp]
	add esp, 32
	ret

/* ---- the catalogue ------------------------------------------------------------- */

#define CONST_TEXT(tail, id, n)             zk_const_text tail, id, n
#define CONST_INT(tail, v, n)               zk_const_int tail, v, n
#define CONST_REAL(tail, id, n)             zk_const_real tail, id, n
#define PASS_REAL(tail, s, n)               zk_pass_real tail, s, n
#define PASS_INT(tail, s, n)                zk_pass_int tail, s, n
#define WIDEN_INT(tail, s, n)               zk_widen_int tail, s, n
#define CHAR_CODE_AT(tail, t, i, n)         zk_char_code_at tail, t, i, n
#define CHAR_CODE_AT_SLOT(tail, t, is, n)   zk_char_code_at_slot tail, t, is, n
#define ROUND_HALF_UP(tail, x, n)           zk_round_half_up tail, x, n
#define LARGER_OF(tail, a, b, n)            zk_larger_of tail, a, b, n
#define QUOTIENT(tail, a, b)                zk_quotient tail, a, b
#define INCREMENT(tail, s, n)               zk_increment tail, s, n
#define PER_HUNDRED_RATIO(tail, a, b, n)    zk_per_hundred_ratio tail, a, b, n
#define FORMAT_FIXED(tail, x, d)            zk_format_fixed tail, x, d

#include "exports/constant_exports.inc"
#include "exports/forwarding_exports.inc"
#include "exports/computing_exports.inc"
