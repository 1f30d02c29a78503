#!/usr/bin/env bash
# Sourced by the scripts that run Wine. Puts the loader choice of wine-bin/ first
# on PATH, and answers whether this machine can start a 32-bit prefix at all.
PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-bin:$PATH"
export PATH
# Wine's 32-bit loader is an i386 program: a kernel without IA-32 emulation
# refuses it ("Exec format error"), and no 32-bit Windows program can run.
wine_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
