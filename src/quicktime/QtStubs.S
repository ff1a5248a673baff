// One call stub per operation of the table (QtOperationList.h), made by the
// preprocessor. A stub:
//   - calls bindHook with no arguments if it is set (the on-demand binding
//     before the first initialise); on x86_64 the caller's argument
//     registers are saved around that call and the stack is 16-byte aligned
//     at it;
//   - puts the operation's selector in eax/rax;
//   - jumps to dispatcher (the runtime's theQuickTimeDispatcher, or
//     QtUnbound), which finds the caller's arguments untouched and returns
//     straight to the caller.
// The stubs read the first two fields of qelQtLoaderState (QtLoaderState.h):
// bindHook at offset 0 and dispatcher at one pointer's size.

#define QEL_CONCAT_(a, b) a##b
#define QEL_CONCAT(a, b) QEL_CONCAT_(a, b)
#define QEL_SYMBOL(name) QEL_CONCAT(__USER_LABEL_PREFIX__, name)

#if defined(__x86_64__) && !defined(_WIN32)

    .macro QEL_STUB name, selector
    .globl \name
    .hidden \name
    .type \name, @function
\name:
    movq qelQtLoaderState(%rip), %r11
    testq %r11, %r11
    jz 1f
    pushq %rdi
    pushq %rsi
    pushq %rdx
    pushq %rcx
    pushq %r8
    pushq %r9
    subq $8, %rsp               // 8 (return address) + 48 + 8: aligned
    call *%r11
    addq $8, %rsp
    popq %r9
    popq %r8
    popq %rcx
    popq %rdx
    popq %rsi
    popq %rdi
1:
    movl $\selector, %eax       // zero-extends into rax
    jmpq *qelQtLoaderState+8(%rip)
    .size \name, . - \name
    .endm

#elif defined(__i386__)

    .macro QEL_STUB name, selector
    .globl \name
\name:
    movl QEL_SYMBOL(qelQtLoaderState), %eax
    testl %eax, %eax
    jz 1f
    pushl %ebp
    movl %esp, %ebp
    andl $-16, %esp             // aligned for the System V i386 ABI too
    call *%eax
    movl %ebp, %esp
    popl %ebp
1:
    movl $\selector, %eax
    jmp *QEL_SYMBOL(qelQtLoaderState)+4
    .endm

#else
#error "The call stubs support i386 and x86_64 System V only"
#endif

    .text
#define QT_OPERATION(name, selector, result, params) QEL_STUB QEL_SYMBOL(name), selector
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION

#if defined(__ELF__)
    .section .note.GNU-stack, "", @progbits
#endif
