/* The call probe: calls one export the way a host does and records what it leaves
 * behind. See probe.h for the layouts.
 *
 * The probe's own frame is found again after the call through a thread-local slot,
 * never through a register or the stack pointer the export hands back, so an export
 * that removes the wrong number of bytes or changes a register is measured, not
 * trusted.
 */
	.intel_syntax noprefix
	.text

	.globl _zk_probe_tls_offset
	.bss
	.p2align 2
_zk_probe_tls_offset:                  /* offset of our TLS slot in the TEB */
	.long 0

	.text
	.globl _ZkProbeRun
	.globl _ZkProbeResume
	.p2align 4
/* void ZkProbeRun(const ZkProbeCall* call, ZkProbeRaw* raw)   (cdecl)
 * Frame F = esp after the four pushes: [F] edi, [F+4] esi, [F+8] ebx, [F+12] ebp,
 * [F+16] return address, [F+20] call, [F+24] raw. [F-28] holds the harness's own
 * x87 environment. */
_ZkProbeRun:
	push ebp
	push ebx
	push esi
	push edi
	mov eax, [_zk_probe_tls_offset]
	mov DWORD PTR fs:[eax], esp
	mov ebp, esp
	sub esp, 28
	fnstenv [esp]
	fldenv [esp]                     /* fnstenv masked everything: put it back */
	mov esi, [ebp + 20]

	/* The export starts with an empty x87 stack, clear flags and the chosen word. */
	sub esp, 28
	fnstenv [esp]
	mov eax, [esi + 12]
	mov WORD PTR [esp], ax
	mov DWORD PTR [esp + 4], 0
	mov DWORD PTR [esp + 8], 0xFFFF
	fldenv [esp]

	sub esp, 512                     /* room for an export that removes too much */
	mov ecx, [esi + 4]
	mov edx, [esi + 8]
1:	test ecx, ecx
	jz 2f
	push DWORD PTR [edx + 4*ecx - 4]
	dec ecx
	jmp 1b
2:	mov edi, [ebp + 24]
	mov [edi], esp                   /* stack pointer after the pushes */
	mov eax, [esi]
	mov ebx, [esi + 16]
	mov edi, [esi + 24]
	mov ebp, [esi + 28]
	mov esi, [esi + 20]
	call eax

	push eax
	push ebp
	mov eax, [_zk_probe_tls_offset]
	mov ebp, DWORD PTR fs:[eax]
	mov eax, [ebp + 24]
	pop DWORD PTR [eax + 24]         /* ebp */
	pop DWORD PTR [eax + 8]          /* eax */
	mov [eax + 4], esp               /* stack pointer after the return */
	mov [eax + 12], ebx
	mov [eax + 16], esi
	mov [eax + 20], edi
	/* Non-waiting instructions only until the environment is replaced: a pending
	 * unmasked exception must be recorded, not raised. */
	fnstenv [eax + 28]
	fnclex                           /* recorded; now nothing may stay pending */
	fstp TBYTE PTR [eax + 56]        /* masked by fnstenv: an empty stack stores the indefinite */
_ZkProbeResume:                        /* an exception handler continues here, ebp = F */
	lea esp, [ebp - 28]
	fnclex
	fldenv [esp]
	mov esp, ebp
	mov eax, [_zk_probe_tls_offset]
	mov DWORD PTR fs:[eax], 0
	pop edi
	pop esi
	pop ebx
	pop ebp
	ret
