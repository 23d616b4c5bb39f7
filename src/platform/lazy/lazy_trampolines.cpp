// The player executable's definitions of the SDL and FFmpeg functions of
// lazy_symbol_table.h (x86-64, System V ABI). Each function is a single
// indirect jump through its slot:
//
//   SDL_CreateWindow:  jmp *tarn_lazy_slot_SDL_CreateWindow(%rip)
//
// Once the libraries are loaded the slot holds the library's function, and
// the jump reaches it with the caller's registers and stack untouched, as a
// call through the PLT would. Until then the slot holds the function's
// first-call path, which names the slot in %r11 (free at a call: it carries no
// argument) and goes to tarn_lazy_first_call. That one keeps every register
// an argument may be in, loads the libraries, and jumps through the now
// filled slot, so even a call made before the player's own load works.
//
// The definitions are hidden: the executable exports none of these names,
// so the libraries, once loaded, keep binding to each other and never to the
// jumps here.

// The function itself, its first-call path and its slot.
#define TARN_LAZY_SYMBOL(library, name)                          \
    asm(".pushsection .text\n"                                   \
        ".globl " #name "\n"                                     \
        ".hidden " #name "\n"                                    \
        ".type " #name ", @function\n"                           \
        ".p2align 4\n" #name ":\n"                               \
        ".cfi_startproc\n"                                       \
        "    endbr64\n"                                          \
        "    jmp *tarn_lazy_slot_" #name "(%rip)\n"              \
        ".cfi_endproc\n"                                         \
        ".size " #name ", . - " #name "\n"                       \
        ".type tarn_lazy_first_" #name ", @function\n"           \
        "tarn_lazy_first_" #name ":\n"                           \
        ".cfi_startproc\n"                                       \
        "    endbr64\n"                                          \
        "    leaq tarn_lazy_slot_" #name "(%rip), %r11\n"        \
        "    jmp tarn_lazy_first_call\n"                         \
        ".cfi_endproc\n"                                         \
        ".size tarn_lazy_first_" #name ", . - tarn_lazy_first_" #name "\n" \
        ".popsection\n"                                          \
        ".pushsection .data\n"                                   \
        ".globl tarn_lazy_slot_" #name "\n"                      \
        ".hidden tarn_lazy_slot_" #name "\n"                     \
        ".type tarn_lazy_slot_" #name ", @object\n"              \
        ".p2align 3\n"                                           \
        "tarn_lazy_slot_" #name ":\n"                            \
        "    .quad tarn_lazy_first_" #name "\n"                  \
        ".size tarn_lazy_slot_" #name ", 8\n"                    \
        ".popsection\n");
#include "platform/lazy/lazy_symbol_table.h"
#undef TARN_LAZY_SYMBOL

// Entered by a jump from a first-call path: (%rsp) is the return address
// into the original caller, the stack is as the caller left it for the
// library's function, %r11 is the slot. The integer argument registers,
// %rax (the vector register count of a variadic call) and %xmm0-7 are kept
// around the load; 8 pushes and 136 bytes keep the stack 16-byte aligned for
// the call. tarn_lazy_load_on_first_call returns only once the slot is
// filled (lazy_libraries.cpp).
asm(".pushsection .text\n"
    ".type tarn_lazy_first_call, @function\n"
    ".p2align 4\n"
    "tarn_lazy_first_call:\n"
    ".cfi_startproc\n"
    "    pushq %rdi\n    .cfi_adjust_cfa_offset 8\n"
    "    pushq %rsi\n    .cfi_adjust_cfa_offset 8\n"
    "    pushq %rdx\n    .cfi_adjust_cfa_offset 8\n"
    "    pushq %rcx\n    .cfi_adjust_cfa_offset 8\n"
    "    pushq %r8\n     .cfi_adjust_cfa_offset 8\n"
    "    pushq %r9\n     .cfi_adjust_cfa_offset 8\n"
    "    pushq %rax\n    .cfi_adjust_cfa_offset 8\n"
    "    pushq %r11\n    .cfi_adjust_cfa_offset 8\n"
    "    subq $136, %rsp\n    .cfi_adjust_cfa_offset 136\n"
    "    movdqa %xmm0, 0(%rsp)\n"
    "    movdqa %xmm1, 16(%rsp)\n"
    "    movdqa %xmm2, 32(%rsp)\n"
    "    movdqa %xmm3, 48(%rsp)\n"
    "    movdqa %xmm4, 64(%rsp)\n"
    "    movdqa %xmm5, 80(%rsp)\n"
    "    movdqa %xmm6, 96(%rsp)\n"
    "    movdqa %xmm7, 112(%rsp)\n"
    "    call tarn_lazy_load_on_first_call\n"
    "    movdqa 0(%rsp), %xmm0\n"
    "    movdqa 16(%rsp), %xmm1\n"
    "    movdqa 32(%rsp), %xmm2\n"
    "    movdqa 48(%rsp), %xmm3\n"
    "    movdqa 64(%rsp), %xmm4\n"
    "    movdqa 80(%rsp), %xmm5\n"
    "    movdqa 96(%rsp), %xmm6\n"
    "    movdqa 112(%rsp), %xmm7\n"
    "    addq $136, %rsp\n    .cfi_adjust_cfa_offset -136\n"
    "    popq %r11\n     .cfi_adjust_cfa_offset -8\n"
    "    popq %rax\n     .cfi_adjust_cfa_offset -8\n"
    "    popq %r9\n      .cfi_adjust_cfa_offset -8\n"
    "    popq %r8\n      .cfi_adjust_cfa_offset -8\n"
    "    popq %rcx\n     .cfi_adjust_cfa_offset -8\n"
    "    popq %rdx\n     .cfi_adjust_cfa_offset -8\n"
    "    popq %rsi\n     .cfi_adjust_cfa_offset -8\n"
    "    popq %rdi\n     .cfi_adjust_cfa_offset -8\n"
    "    jmp *(%r11)\n"
    ".cfi_endproc\n"
    ".size tarn_lazy_first_call, . - tarn_lazy_first_call\n"
    ".popsection\n");
