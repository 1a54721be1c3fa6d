"""Standard ASN.1 copy of the message modules, for Erlang/OTP's asn1 compiler.

Erlang codes the modules as the test oracle, so the copy must code
byte for byte as the dialect does while being standard ASN.1:

  * an enumeration with numbered items is coded by value, as a whole number
    from 0 to its largest number; it becomes INTEGER (0..maximum), with an
    extension marker when the enumeration has one;
  * "_" is not allowed in ASN.1 names; it becomes "-" (a name that would
    then clash gets a numeric suffix).

Everything else is written back as it was read.
"""

from asn1parse import (SEQUENCE, CHOICE, ENUMERATED, SEQUENCE_OF, SET_OF, INTEGER, IA5STRING,
                       REFERENCE, AsnError)


def erlang_name(name, taken=()):
    if '_' not in name:
        return name
    base = name.replace('_', '-')
    while '--' in base:
        base = base.replace('--', '-')
    out = base
    n = 2
    while out in taken:
        out = '%s%d' % (base, n)
        n += 1
    return out


def numbered(t):
    return any(numbered for _, _, numbered in t.items)


class Writer:
    def __init__(self, model, mod):
        self.model = model
        self.mod = mod
        self.type_names = {}
        taken = set(n for n, _ in mod.assignments)
        for n, _ in mod.assignments:
            self.type_names[n] = erlang_name(n, taken - {n})
        for other in model.order:
            for n, _ in other.assignments:
                self.type_names.setdefault((other.name, n), erlang_name(n))

    def ref_name(self, t):
        module, name = t.ref
        if module == self.mod.name:
            return self.type_names[name]
        return self.type_names[(module, name)]

    def type(self, t, indent):
        pad = '    ' * indent
        k = t.kind
        if k == REFERENCE:
            return self.ref_name(t)
        if k in (SEQUENCE_OF, SET_OF):
            return '%s %s' % (k, self.type(t.element, indent))
        if k == INTEGER:
            return 'INTEGER' if t.bounds is None else 'INTEGER (%d..%d)' % t.bounds
        if k == IA5STRING:
            return 'IA5String' if t.bounds is None else 'IA5String (SIZE (%d..%d))' % t.bounds
        if k == ENUMERATED:
            if numbered(t):
                return 'INTEGER (0..%d%s)' % (t.maximum, ', ...' if t.extensible else '')
            rows = [erlang_name(n) for n, _, _ in t.items]
            if t.extensible:
                rows.append('...')
            return 'ENUMERATED {\n%s\n%s}' % (',\n'.join(pad + '    ' + r for r in rows), pad)
        if k in (SEQUENCE, CHOICE):
            names = [m.name for m in t.members]
            rows = []
            for m in t.members:
                if m.addition and '...' not in rows:
                    rows.append('...')
                name = erlang_name(m.name, set(names) - {m.name})
                rows.append('%s %s%s' % (name, self.type(m.type, indent + 1),
                                         ' OPTIONAL' if m.optional else ''))
            if t.extensible and '...' not in rows:
                rows.append('...')
            return '%s {\n%s\n%s}' % (k, ',\n'.join(pad + '    ' + r for r in rows), pad)
        return k

    def text(self):
        imports = {}
        for _, t in self.mod.assignments:
            self._collect(t, imports)
        out = ['-- Erlang copy of %s, derived from %s by tools/asn1gen; do not edit.'
               % (self.mod.name, self.mod.path.split('/')[-1]), '',
               '%s DEFINITIONS AUTOMATIC TAGS ::=' % self.mod.name, 'BEGIN', '']
        if imports:
            out.append('IMPORTS')
            for source in sorted(imports):
                out.append('    %s' % ', '.join(sorted(imports[source])))
                out.append('        FROM %s' % source)
            out[-1] += ';'
            out.append('')
        for name, t in self.mod.assignments:
            out.append('%s ::= %s' % (self.type_names[name], self.type(t, 0)))
            out.append('')
        out.append('END')
        return '\n'.join(out) + '\n'

    def _collect(self, t, imports):
        if t.kind == REFERENCE:
            if t.ref[0] != self.mod.name:
                imports.setdefault(t.ref[0], set()).add(self.ref_name(t))
            return
        for m in t.members:
            self._collect(m.type, imports)
        if t.element is not None:
            self._collect(t.element, imports)


def import_order(model):
    """Modules ordered so that each comes after the modules it imports."""
    done, order = set(), []

    def visit(mod, path):
        if mod.name in done:
            return
        if mod.name in path:
            raise AsnError('import cycle through %s' % mod.name)
        for source in sorted(set(mod.imports.values())):
            visit(model.modules[source], path + [mod.name])
        done.add(mod.name)
        order.append(mod)

    for mod in model.order:
        visit(mod, [])
    return order


def write(model, outdir):
    import os
    os.makedirs(outdir, exist_ok=True)
    names = []
    for mod in import_order(model):
        path = os.path.join(outdir, mod.name + '.asn')
        text = Writer(model, mod).text()
        old = None
        if os.path.exists(path):
            with open(path) as f:
                old = f.read()
        if old != text:
            with open(path, 'w') as f:
                f.write(text)
        names.append(mod.name)
    with open(os.path.join(outdir, 'order.txt'), 'w') as f:
        f.write('\n'.join(names) + '\n')
    return names
