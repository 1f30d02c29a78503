/* Pinlark's parallel-port library: libpinlark.so on Linux, pinlark.dll on
 * Windows. It goes through the same connection and driver module as the
 * Pinlark window and lptctl, and finds the driver (LPTWDMIO.SYS) beside its
 * own file. A port handle holds its port from pinlark_open to pinlark_close,
 * as one program at a time holds a real port.
 *
 * Every call may come from any thread, and threads may share a handle: each
 * call is whole, so a change to one line never undoes another thread's.
 * Calls that fail return an error code (below) and leave the details for
 * this thread: pinlark_last_message, pinlark_last_system_error. */
#ifndef PINLARK_H
#define PINLARK_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The library's build sets this to export its functions; users leave it. */
#ifndef PINLARK_API
#define PINLARK_API
#endif

/* Bumped when a function or structure here changes incompatibly. */
#define PINLARK_ABI_VERSION 1

typedef struct pinlark_port pinlark_port;

enum pinlark_error {
  PINLARK_OK = 0,
  PINLARK_E_ARGUMENT = 1,   /* a null pointer, a bad port name, register, value or condition */
  PINLARK_E_LINE = 2,       /* no line of that name or pin */
  PINLARK_E_INPUT = 3,      /* the line is an input: it cannot be set or pulsed */
  PINLARK_E_ABSENT = 4,     /* the port is absent */
  PINLARK_E_HELD = 5,       /* another program holds the port */
  PINLARK_E_CONNECTION = 6, /* the driver could not be started or opened */
  PINLARK_E_TRANSFER = 7,   /* the port did not take a request */
  PINLARK_E_TIMEOUT = 8,    /* a wait ended before its conditions were met */
  PINLARK_E_CANCELLED = 9,  /* pinlark_cancel ended a wait or a pulse train */
  PINLARK_E_NOT_IDLE = 10,  /* a pulse's line rests at the level the pulse drives it to */
  PINLARK_E_INTERNAL = 11   /* anything else, out of memory for one */
};

enum pinlark_register { PINLARK_DATA = 0, PINLARK_STATUS = 1, PINLARK_CONTROL = 2 };

/* pinlark_get and pinlark_set: the register bit rather than the level at
 * the pin (they differ on STR, LF/CR, SELIN and BUSY, which the port
 * inverts). */
#define PINLARK_REGISTER_BIT 1

/* "1.0.0" */
PINLARK_API const char* pinlark_version(void);

/* Opens "LPT1", "LPT2" or "LPT3" (any case; "1"-"3" too) and takes hold of
 * it. NULL on failure: PINLARK_E_ABSENT, PINLARK_E_HELD and so on from
 * pinlark_last_error. */
PINLARK_API pinlark_port* pinlark_open(const char* port);
/* Lets the port go. NULL is allowed. */
PINLARK_API void pinlark_close(pinlark_port* port);

typedef struct pinlark_port_info {
  char name[8]; /* "LPT1" */
  int present;
  int simulated;          /* the driver's simulation, not hardware */
  int held;               /* another program, or another handle, holds it now */
  int loopback;           /* simulated with a loopback plug: D0-D4 wired to ERR, SEL, PE, ACK, BUSY */
  unsigned base;          /* I/O base; 0 when not known */
  unsigned system_number; /* n of Windows' own LPTn; 0 when none */
  unsigned long holder;   /* the holding process when held and the system can tell; else 0 */
} pinlark_port_info;

#define PINLARK_PORT_COUNT 3

/* LPT1-LPT3, in that order, without holding any of them. */
PINLARK_API int pinlark_ports(pinlark_port_info ports[PINLARK_PORT_COUNT]);

PINLARK_API int pinlark_read(pinlark_port* port, int reg, unsigned char* value);
/* The data register as given; of the control register only the four line
 * bits, bits 4-7 (interrupt, data direction) staying as the port has them.
 * The status register cannot be written. */
PINLARK_API int pinlark_write(pinlark_port* port, int reg, unsigned char value);

/* A line by name (D0-D7, STR, LF/CR or LF, INIT, SELIN, ERR, SEL, PE, ACK,
 * BUSY; any case) or connector pin ("10"). value: 0 or 1. */
PINLARK_API int pinlark_get(pinlark_port* port, const char* line, int flags, int* value);
/* Output lines only; every other bit stays. */
PINLARK_API int pinlark_set(pinlark_port* port, const char* line, int flags, int value);

typedef struct pinlark_wait_result {
  double seconds;  /* from the start to the sample that met the wait (or the last one) */
  unsigned met;    /* bit i: condition i was met */
  unsigned levels; /* bit i: the level at the pin of condition i's line then */
} pinlark_wait_result;

/* conditions: up to 32 of LINE=0|1|low|high|rising|falling|change,
 * separated by spaces or commas ("ACK=falling BUSY=0"). Returns when all are
 * met (any != 0: one): a level that holds already at once, an edge only when
 * it comes after the start. timeout in seconds, negative for none;
 * interval_ms between reads of the port, 0 as fast as it can. Times out with
 * PINLARK_E_TIMEOUT, the result filled all the same. result may be NULL. */
PINLARK_API int pinlark_wait(pinlark_port* port, const char* conditions, int any, double timeout,
                             double interval_ms, pinlark_wait_result* result);

typedef struct pinlark_pulse_result {
  unsigned pulses;                              /* pulses made whole */
  double width_min, width_median, width_max;    /* measured, in microseconds */
  double period_min, period_median, period_max; /* start to start; 0 for one pulse */
} pinlark_pulse_result;

/* Drives the output line to its active level at the pin (high; low when
 * active_low) for width_us, back, count times, period_us apart start to start
 * (0: twice the width). The line must rest at the other level at the start
 * and is left there. Timing is best effort: the result says what the line
 * really got. result may be NULL. */
PINLARK_API int pinlark_pulse(pinlark_port* port, const char* line, double width_us, unsigned count,
                              double period_us, int active_low, pinlark_pulse_result* result);

/* From another thread: ends a wait or pulse train on port soon, with
 * PINLARK_E_CANCELLED. */
PINLARK_API int pinlark_cancel(pinlark_port* port);

typedef struct pinlark_line_info {
  const char* name; /* "D0", "LF/CR" */
  int pin;          /* on the 25-pin connector */
  int output;       /* 1 for D0-D7, STR, LF/CR, INIT, SELIN */
  int inverted;     /* the pin is the complement of the register bit */
  int reg;          /* enum pinlark_register */
  int bit;          /* 0-7 in that register */
} pinlark_line_info;

PINLARK_API int pinlark_line_count(void);
/* Lines by index, 0 to pinlark_line_count() - 1: data, control, status. */
PINLARK_API int pinlark_line(int index, pinlark_line_info* info);
/* A line by name or pin, as pinlark_get takes it. */
PINLARK_API int pinlark_find_line(const char* name, pinlark_line_info* info);

/* This thread's last call: its error (0 when it succeeded), what went wrong
 * in a sentence, and the Windows error code behind it (0 when none). The
 * message stays valid until this thread's next call. */
PINLARK_API int pinlark_last_error(void);
PINLARK_API const char* pinlark_last_message(void);
PINLARK_API unsigned long pinlark_last_system_error(void);

/* What an error code means, in a few words. */
PINLARK_API const char* pinlark_error_message(int error);
/* What to do about a Windows error code from the connection; "" when there
 * is nothing to add. Valid until this thread's next call. */
PINLARK_API const char* pinlark_error_advice(unsigned long system_error);

#ifdef __cplusplus
}
#endif

#endif
