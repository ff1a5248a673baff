// theQuickTimeDispatcher: the runtime's one entry for every operation.
//
// The plug-in's stub leaves the caller's arguments exactly as the caller
// passed them, puts the operation's selector in eax/rax and jumps here, so
// this code runs as if the caller had called it directly. It records where
// the arguments are (RuntimeArgs in RuntimeDispatch.h), calls
//   qelRuntimeDispatch(selector, args)
// and returns that result in eax/rax straight to the caller.

#define QEL_CONCAT_(a, b) a##b
#define QEL_CONCAT(a, b) QEL_CONCAT_(a, b)
#define QEL_SYMBOL(name) QEL_CONCAT(__USER_LABEL_PREFIX__, name)

#if defined(__x86_64__) && !defined(_WIN32)

    .text
    .globl theQuickTimeDispatcher
    .type theQuickTimeDispatcher, @function
theQuickTimeDispatcher:
    pushq %rbp                  // the stack is now 16-byte aligned
    movq %rsp, %rbp
    subq $64, %rsp              // RuntimeArgs (56 bytes), kept aligned
    movq %rdi, 0(%rsp)
    movq %rsi, 8(%rsp)
    movq %rdx, 16(%rsp)
    movq %rcx, 24(%rsp)
    movq %r8, 32(%rsp)
    movq %r9, 40(%rsp)
    leaq 16(%rbp), %r10         // past the saved rbp and the return address
    movq %r10, 48(%rsp)
    movl %eax, %edi             // selector
    movq %rsp, %rsi             // &args
    call qelRuntimeDispatch@PLT
    leave
    ret
    .size theQuickTimeDispatcher, . - theQuickTimeDispatcher

#elif defined(__i386__)

    .text
    .globl QEL_SYMBOL(theQuickTimeDispatcher)
QEL_SYMBOL(theQuickTimeDispatcher):
    pushl %ebp
    movl %esp, %ebp
    andl $-16, %esp             // aligned for the System V i386 ABI too
    subl $16, %esp
    leal 8(%ebp), %ecx          // past the saved ebp and the return address
    movl %ecx, 8(%esp)          // RuntimeArgs { stack }
    leal 8(%esp), %ecx
    movl %ecx, 4(%esp)          // &args
    movl %eax, 0(%esp)          // selector
    call QEL_SYMBOL(qelRuntimeDispatch)
    leave
    ret

#else
#error "theQuickTimeDispatcher supports i386 and x86_64 System V only"
#endif

#if defined(__ELF__)
    .section .note.GNU-stack, "", @progbits
#endif
