// Start-up order of the process-wide initialisers.
//
// The conversion state must be initialised before twoPow64 is computed. The
// order is fixed with init_priority rather than left to the unspecified order
// of dynamic initialisation across translation units; lower numbers run first.
// Each initialiser also takes a ticket, so tests can check the order it ran in.
#ifndef VELTRANE_NUMERIC_STARTUP_H
#define VELTRANE_NUMERIC_STARTUP_H

#define VELTRANE_INIT_CONVERTER_STATE __attribute__((init_priority(1000)))
#define VELTRANE_INIT_TWO_POW_64 __attribute__((init_priority(1001)))

// Returns 1 on the first call, 2 on the second, and so on. Safe to call from
// any dynamic initialiser: its counter is constant-initialised.
int takeStartupTicket();

// The ticket twoPow64's initialiser took (0 if it has not run).
int twoPow64StartupTicket();

#endif
