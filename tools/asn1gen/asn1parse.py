"""Reader of the message modules' ASN.1 sources.

Parses the subset of ASN.1 that the modules under messages/ use, in their
own dialect (numbered enumeration items coded by value, "_" in identifiers),
resolves the type references across modules and gives every generated type
its class name:

  * a type assignment N ::= SEQUENCE / CHOICE / ENUMERATED is the class N;
  * a type written in place as component f of the class C is the class C_f;
  * the in-place element type of a collection L is the class L_subtype
    (L being the collection's assignment name, or C_f in place);
  * a size-constrained string written in place as component f of C is the
    class C::f::value_type.

"-" in a component or alternative name becomes "_" in every C++ name made
from it; the names themselves stay as written.
"""

import re

SEQUENCE, CHOICE, ENUMERATED = 'SEQUENCE', 'CHOICE', 'ENUMERATED'
SEQUENCE_OF, SET_OF = 'SEQUENCE OF', 'SET OF'
INTEGER, BOOLEAN, NULL = 'INTEGER', 'BOOLEAN', 'NULL'
OCTET_STRING, IA5STRING, OBJECT_IDENTIFIER = 'OCTET STRING', 'IA5String', 'OBJECT IDENTIFIER'
REFERENCE = 'reference'

CLASS_KINDS = (SEQUENCE, CHOICE, ENUMERATED)
COLLECTION_KINDS = (SEQUENCE_OF, SET_OF)


class AsnError(Exception):
    pass


def cpp_name(name):
    """The C++ spelling of a component, alternative or item name."""
    return name.replace('-', '_')


class Type:
    """One ASN.1 type as written: a builtin, a constructed type or a reference."""

    def __init__(self, kind, module):
        self.kind = kind
        self.module = module      # Module object the type is written in
        self.name = None          # class name of a generated type (C++ spelling)
        self.extensible = False
        self.members = []         # SEQUENCE / CHOICE: Member list in written order
        self.items = []           # ENUMERATED: (name, value, numbered) in written order
        self.maximum = None       # ENUMERATED: largest item value
        self.bounds = None        # INTEGER value bounds or IA5String size bounds
        self.element = None       # collections: element Type
        self.ref = None           # REFERENCE: (module name or None, type name)
        self.target = None        # REFERENCE: resolved Type
        self.typedef = None       # name of a non-class type assignment

    def resolved(self):
        t = self
        while t.kind == REFERENCE:
            t = t.target
        return t

    def is_class(self):
        """True for the types that get a generated class and table."""
        return self.kind in CLASS_KINDS or (self.kind == IA5STRING and self.bounds is not None)

    @property
    def qualified(self):
        return '%s::%s' % (self.module.name, self.name)

    def root_members(self):
        return [m for m in self.members if not m.addition]

    def additions(self):
        return [m for m in self.members if m.addition]

    def optionals(self):
        return [m for m in self.members if m.optional and not m.addition]


class Member:
    """A component of a SEQUENCE or an alternative of a CHOICE."""

    def __init__(self, name, type_, optional, addition):
        self.name = name
        self.type = type_
        self.optional = optional
        self.addition = addition
        self.bit = None           # presence-bit number of an OPTIONAL root component
        self.index = None         # position in the type's table

    @property
    def cpp(self):
        return cpp_name(self.name)


class Module:
    def __init__(self, name, path):
        self.name = name
        self.path = path
        self.imports = {}         # type name -> module name
        self.assignments = []     # (name, Type) in written order
        self.types = {}           # assignment name -> Type
        self.classes = []         # every generated type of the module, in order

    def counts(self):
        kinds = [t.kind for t in self.classes]
        return dict(types=len(kinds), sequence=kinds.count(SEQUENCE),
                    choice=kinds.count(CHOICE), enumerated=kinds.count(ENUMERATED),
                    string=kinds.count(IA5STRING))


_TOKEN = re.compile(r'''
    (?P<space>\s+)
  | (?P<comment>--.*?(?:--|$))
  | (?P<assign>::=)
  | (?P<ellipsis>\.\.\.)
  | (?P<range>\.\.)
  | (?P<number>-?\d+)
  | (?P<ident>[A-Za-z](?:[A-Za-z0-9_]|-(?=[A-Za-z0-9_]))*)
  | (?P<symbol>[{}(),;])
''', re.VERBOSE | re.MULTILINE)


def tokenize(text, path):
    tokens = []
    pos = 0
    line = 1
    while pos < len(text):
        m = _TOKEN.match(text, pos)
        if not m:
            raise AsnError('%s:%d: unexpected character %r' % (path, line, text[pos]))
        kind = m.lastgroup
        if kind not in ('space', 'comment'):
            tokens.append((kind, m.group(kind), line))
        line += m.group(0).count('\n')
        pos = m.end()
    tokens.append(('end', '', line))
    return tokens


class Parser:
    def __init__(self, text, path):
        self.path = path
        self.tokens = tokenize(text, path)
        self.pos = 0

    def peek(self, offset=0):
        return self.tokens[min(self.pos + offset, len(self.tokens) - 1)]

    def fail(self, what):
        kind, value, line = self.peek()
        raise AsnError('%s:%d: expected %s, found %r' % (self.path, line, what, value or kind))

    def take(self, value=None, kind=None):
        tok = self.peek()
        if (value is not None and tok[1] != value) or (kind is not None and tok[0] != kind):
            self.fail(repr(value) if value is not None else kind)
        self.pos += 1
        return tok[1]

    def accept(self, value):
        if self.peek()[1] == value and self.peek()[0] != 'end':
            self.pos += 1
            return True
        return False

    def module(self):
        mod = Module(self.take(kind='ident'), self.path)
        for word in ('DEFINITIONS', 'AUTOMATIC', 'TAGS'):
            self.take(word)
        self.take('::=')
        self.take('BEGIN')
        if self.accept('IMPORTS'):
            while not self.accept(';'):
                names = [self.take(kind='ident')]
                while self.accept(','):
                    names.append(self.take(kind='ident'))
                self.take('FROM')
                source = self.take(kind='ident')
                for n in names:
                    mod.imports[n] = source
        while not self.accept('END'):
            line = self.peek()[2]
            name = self.take(kind='ident')
            self.take('::=')
            if name in mod.types:
                raise AsnError('%s:%d: %s defined twice' % (self.path, line, name))
            t = self.type(mod)
            mod.assignments.append((name, t))
            mod.types[name] = t
        if self.peek()[0] != 'end':
            self.fail('end of file')
        return mod

    def number(self):
        return int(self.take(kind='number'))

    def bounds(self):
        self.take('(')
        lb = self.number()
        self.take('..')
        ub = self.number()
        self.take(')')
        if lb > ub:
            raise AsnError('%s: empty range %d..%d' % (self.path, lb, ub))
        return (lb, ub)

    def type(self, mod):
        word = self.take(kind='ident')
        if word in ('SEQUENCE', 'SET') and self.accept('OF'):
            t = Type(SEQUENCE_OF if word == 'SEQUENCE' else SET_OF, mod)
            t.element = self.type(mod)
            return t
        if word in ('SEQUENCE', 'CHOICE'):
            return self.constructed(word, mod)
        if word == 'ENUMERATED':
            return self.enumerated(mod)
        if word == 'INTEGER':
            t = Type(INTEGER, mod)
            if self.peek()[1] == '(':
                t.bounds = self.bounds()
            return t
        if word == 'IA5String':
            t = Type(IA5STRING, mod)
            if self.accept('('):
                self.take('SIZE')
                t.bounds = self.bounds()
                self.take(')')
            return t
        if word == 'OCTET':
            self.take('STRING')
            return Type(OCTET_STRING, mod)
        if word == 'OBJECT':
            self.take('IDENTIFIER')
            return Type(OBJECT_IDENTIFIER, mod)
        if word in ('BOOLEAN', 'NULL'):
            return Type(word, mod)
        if not word[0].isupper():
            self.pos -= 1
            self.fail('a type')
        t = Type(REFERENCE, mod)
        t.ref = (None, word)
        return t

    def constructed(self, kind, mod):
        t = Type(kind, mod)
        self.take('{')
        in_additions = False
        while True:
            if self.accept('...'):
                if t.extensible:
                    self.fail('one extension marker only')
                t.extensible = in_additions = True
            else:
                name = self.take(kind='ident')
                mt = self.type(mod)
                optional = self.accept('OPTIONAL')
                if optional and kind == CHOICE:
                    self.fail('no OPTIONAL in a CHOICE')
                if any(m.name == name for m in t.members):
                    self.fail('a new name instead of ' + name)
                t.members.append(Member(name, mt, optional, in_additions))
            if self.accept('}'):
                break
            self.take(',')
        bit = 0
        for index, m in enumerate(t.root_members() + t.additions()):
            m.index = index
            if m.optional and not m.addition:
                m.bit = bit
                bit += 1
        if not t.root_members():
            self.fail('at least one root member')
        return t

    def enumerated(self, mod):
        t = Type(ENUMERATED, mod)
        self.take('{')
        value = -1
        while True:
            if self.accept('...'):
                t.extensible = True
            else:
                name = self.take(kind='ident')
                numbered = self.accept('(')
                if numbered:
                    value = self.number()
                    self.take(')')
                else:
                    value += 1
                t.items.append((name, value, numbered))
            if self.accept('}'):
                break
            self.take(',')
        if not t.items:
            self.fail('at least one item')
        t.maximum = max(v for _, v, _ in t.items)
        if t.maximum < 0:
            raise AsnError('%s: enumeration without a value of 0 or more' % self.path)
        return t


class Model:
    """All modules, references resolved, classes named."""

    def __init__(self, paths):
        self.modules = {}
        self.order = []
        for path in paths:
            with open(path) as f:
                mod = Parser(f.read(), path).module()
            if mod.name in self.modules:
                raise AsnError('%s: module %s defined twice' % (path, mod.name))
            self.modules[mod.name] = mod
            self.order.append(mod)
        for mod in self.order:
            for name, t in mod.assignments:
                self._resolve(t, mod)
        for mod in self.order:
            for name, t in mod.assignments:
                self._name(t, mod, name, top=True)
        for mod in self.order:
            for t in mod.classes:
                if t.kind == SEQUENCE:
                    for m in t.members:
                        if m.addition and m.optional:
                            raise AsnError('%s: OPTIONAL extension addition %s' % (mod.path, m.name))

    def lookup(self, module, name):
        mod = self.modules.get(module)
        if mod is None or name not in mod.types:
            return None
        return mod.types[name]

    def _resolve(self, t, mod):
        if t.kind == REFERENCE:
            source = mod.imports.get(t.ref[1], mod.name)
            if t.ref[1] in mod.types and t.ref[1] in mod.imports:
                raise AsnError('%s: %s both imported and defined' % (mod.path, t.ref[1]))
            target = self.lookup(source, t.ref[1])
            if target is None:
                raise AsnError('%s: unknown type %s.%s' % (mod.path, source, t.ref[1]))
            t.ref = (source, t.ref[1])
            t.target = target
        for m in t.members:
            self._resolve(m.type, mod)
        if t.element is not None:
            self._resolve(t.element, mod)

    def _name(self, t, mod, name, top=False):
        """Gives t (written in place where `name` says) and its parts their names."""
        if t.kind == REFERENCE:
            return
        if t.is_class():
            t.name = name
            mod.classes.append(t)
            for m in t.members:
                inner = '%s_%s' % (name, m.cpp)
                if m.type.kind == IA5STRING and m.type.bounds is not None:
                    inner = '%s::%s::value_type' % (name, m.cpp)
                self._name(m.type, mod, inner)
        elif t.kind in COLLECTION_KINDS:
            if top:
                t.typedef = name
            self._name(t.element, mod, name + '_subtype')
        elif top:
            t.typedef = name

    def reachable(self, roots):
        """The generated types reachable from those of the (module, name) roots
        that exist."""
        seen = []
        ids = set()

        def walk(t):
            t = t.resolved()
            if t.element is not None:
                walk(t.element)
                return
            if not t.is_class() or id(t) in ids:
                return
            ids.add(id(t))
            seen.append(t)
            for m in t.members:
                walk(m.type)

        for module, name in roots:
            t = self.lookup(module, name)
            if t is not None:
                walk(t)
        return seen
