#!/usr/bin/env python3
"""Generator of the message modules.

  asn1gen.py cpp OUTDIR FILE.asn...     C++ classes and tables: for module M,
                                        OUTDIR/messages/m/m.h and m.cpp
  asn1gen.py erlang OUTDIR FILE.asn...  standard ASN.1 copies for Erlang's
                                        asn1 compiler, OUTDIR/M.asn, and
                                        OUTDIR/order.txt (compile order)
  asn1gen.py counts FILE.asn...         types per module and kind, and the
                                        types reachable from the two messages

Reads every given module first, so references across them resolve.
Exit status 1 with a message on the error stream for a bad source.
"""

import collections
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import asn1parse  # noqa: E402

ROOTS = [('LGCP', 'Message'), ('MON', 'Message')]


def counts(model):
    reach = collections.Counter(t.module.name for t in model.reachable(ROOTS))
    lines = ['module types sequence choice enumerated string reachable']
    for mod in model.order:
        c = mod.counts()
        lines.append('%s %d %d %d %d %d %d' % (mod.name, c['types'], c['sequence'], c['choice'],
                                               c['enumerated'], c['string'], reach[mod.name]))
    return '\n'.join(lines) + '\n'


def main(argv):
    if len(argv) < 2 or argv[1] not in ('cpp', 'erlang', 'counts'):
        sys.stderr.write(__doc__)
        return 2
    command = argv[1]
    args = argv[2:]
    outdir = None
    if command != 'counts':
        if not args:
            sys.stderr.write(__doc__)
            return 2
        outdir, args = args[0], args[1:]
    try:
        model = asn1parse.Model(args)
        if command == 'counts':
            sys.stdout.write(counts(model))
        elif command == 'erlang':
            import erlang
            erlang.write(model, outdir)
        else:
            import cpp
            cpp.write(model, outdir)
    except asn1parse.AsnError as e:
        sys.stderr.write('asn1gen: %s\n' % e)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
