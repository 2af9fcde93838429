#include "usage.h"

namespace scalecheck::sim {

const char* usageText() {
  return R"(Usage: scale-sim (--pty PATH | --device DEV | --tcp [HOST:]PORT) [options]

Behaves like a weighing scale on a serial line or a TCP port, so that a
program that reads scales (scalecheck) can be tried without one.

Where the scale is (exactly one):
  --pty PATH           make a pseudo-terminal and a symlink PATH to the end a
                       reader opens, e.g. --pty /tmp/ports/com1 for
                       SCALECHECK_PORT_DIR=/tmp/ports (PATH is removed at
                       exit); PATH.lock beside it, locked while it runs, keeps
                       a second simulator off the same PATH
  --device DEV         use a serial device, e.g. /dev/ttyUSB0 on a null-modem
                       cable to the PC that runs the reader
  --tcp [HOST:]PORT    listen on HOST (default 127.0.0.1), one client at a
                       time; PORT 0 takes any free port

How it is asked:
  --kind KIND          stream    sends frames on its own, ignores requests
                                 (the default)
                       two-step  answers ENQ with ACK, then DC1 with a frame
                                 (ENQ and DC1 together get both)
                       combined  answers ENQ and DC1 sent together with a
                                 frame; a lone ENQ gets no answer
  --delay MS           time before it answers a request (default 20)
  --interval MS        stream: time from one frame start to the next
                       (default 0: back to back)

What a frame shows (default "ST,GS,+  1.234kg" CR LF):
  --weight X           the weight, e.g. 1.234 or -0.5 (default 1.234)
  --decimals N         digits after the point, 0 to 6 (default 3)
  --unit U             kg (default), g, t, mg or none
  --stable, --unstable "ST" (default) or "US" at the start
  --sign S             auto (the weight's own sign, default), + or -
  --template TEXT      the frame's layout, default "%S,GS,%+%W%U\r\n":
                         %S  ST or US        %s  S or U
                         %+  + or -          %-  a space or -
                         %W  the weight without sign, right-aligned in 7
                             characters (%12W: in 12), always with a space
                             before its first digit
                         %U  the unit in 2 characters   %u  the unit as is
                         %%  a percent sign
                       and the escapes \r \n \t \0 \e \\ \xHH
  --frames FILE        send the lines of FILE in turn, cycling; each
                       non-empty line is one frame with the same escapes (a
                       frame that ends in CR LF says \r\n)

Line (the scale's UART; default 9600 8N1):
  --baud N             rate in bit/s, any from 50 (default 9600)
  --data 7|8           data bits (default 8)
  --parity P           none (default), even or odd
  --stop 1|2           stop bits (default 1)
  --8n1, --7e1         8 data bits no parity, or 7 data bits even parity,
                       one stop bit each
  --noise RATE         --pty only: flip each bit on the line with this
                       probability, e.g. 0.001 for a bad cable
  --seed N             the noise's seed (default 1): the same seed flips the
                       same bits
  --strict             --pty only: drop a byte received with a parity or
                       framing error, as a UART that checks parity does
  On a pty the reader's end is a UART at the rate and stop bits the reader
  set (a pty has 8 data bits and no parity): the scale's bits reach it as
  such a UART takes them, and the reader's bytes reach the scale the same
  way, so a wrong rate or framing garbles both ways, as on a real line. A
  device is set to these settings; over TCP the bytes go as they are, at
  the pace of this line.

Faults:
  --fault F            none (default); silence: sends nothing; short: frames
                       cut to 10 bytes; nak: NAK (0x15) instead of ACK (a
                       combined scale answers NAK); no-unit: unit letters
                       blanked; garbage: random characters with no digit,
                       CR or LF instead of frames
  --pause-after MS     go quiet MS after the start...
  --pause-for MS       ...for MS, then talk again (default: for good)

Other:
  -v, --verbose        log what it hears and answers on stderr, timed
  -h, --help           this text
  --version            the name and version

When it is ready it prints one line on stdout:
  ready pty /dev/pts/N PATH | ready device DEV | ready tcp HOST:PORT
Then it reads commands on stdin, one a line, and answers each on stdout
with "ok COMMAND" or "error REASON":
  pause | resume | weight X | stable | unstable | unit U | fault F | quit
The end of stdin ends no run: started with </dev/null it runs on.
SIGUSR1 pauses and SIGUSR2 resumes it (stdout says "paused", "resumed").
Ctrl+C (SIGINT), SIGTERM and SIGHUP end it cleanly. Exit status: 0 when
ended, 1 when the link cannot be set up or fails, 2 for bad options.
)";
}

}  // namespace scalecheck::sim
