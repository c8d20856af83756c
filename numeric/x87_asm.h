// Private to numeric/: the instruction text shared by the x87 operations.
#ifndef VELTRANE_NUMERIC_X87_ASM_H
#define VELTRANE_NUMERIC_X87_ASM_H

// Each operation is one asm statement, so that nothing the compiler emits can
// run between the set-up and the instruction, and constant folding (which
// would round to nearest) can never replace an x87 result. `fninit` wipes the
// whole register stack, hence the eight stack clobbers. Every statement
// leaves the stack empty, as both x86-64 calling conventions require.
#define X87_SETUP          \
  "fninit\n\t"             \
  "fstcw %[cw]\n\t"        \
  "orw $0x0F00, %[cw]\n\t" \
  "fldcw %[cw]\n\t"
#define X87_CLOBBERS "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"

#endif
