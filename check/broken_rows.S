/* Faulty rows for the test copy of zelvankor.dll that zelvankor-check must catch.
 * Only that copy includes this file, ahead of its edited catalogue rows; the routines
 * reuse zk_export from exports/exports.S.
 */
	.intel_syntax noprefix

/* An export that raises instead of answering. */
#define RAISES(tail, n)              zk_raises tail, n
	.macro zk_raises tail, slots
	zk_export \tail
	push 0
	push 0
	push 0
	push 0xE0000001
	call DWORD PTR __imp__RaiseException@16
	ret 4*\slots
	.endm

/* A ConstInt export that zeroes ESI, which the caller expects back unchanged. */
#define CLOBBERS_ESI(tail, v, n)     zk_clobbers_esi tail, v, n
	.macro zk_clobbers_esi tail, value, slots
	zk_export \tail
	xor esi, esi
	mov eax, \value
	ret 4*\slots
	.endm

/* TX12 with a plain blank where the no-break space belongs: one code unit off. */
	.section .rdata, "dr"
	.p2align 1
_ZkPool_TX12Blank:
	.short 0x45, 0x41, 0x2192, 0x20, 0
	.text
