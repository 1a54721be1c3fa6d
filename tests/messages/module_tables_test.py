"""Checks the transcribed message modules against the published figures:
how many types each module has, of which kind, and how many of them the
two coded messages reach; and the values and shapes that a transcription
slip would most likely change. Also checks the Erlang copy's rewriting.

Run by CTest: python3 module_tables_test.py <asn1gen dir> <module.asn>...
"""

import os
import subprocess
import sys
import tempfile
import unittest

GEN_DIR = sys.argv[1]
SOURCES = sys.argv[2:]
sys.path.insert(0, GEN_DIR)

import asn1parse  # noqa: E402
import erlang  # noqa: E402

MODEL = asn1parse.Model(SOURCES)


def find(qualified):
    module, name = qualified.split('::', 1)
    for t in MODEL.modules[module].classes:
        if t.name == name:
            return t
    raise KeyError(qualified)


def values(qualified):
    return {name: value for name, value, _ in find(qualified).items}


class ModuleCounts(unittest.TestCase):
    # module: types, SEQUENCE, CHOICE, ENUMERATED, sized strings, reachable
    EXPECTED = {
        'LGCP': (106, 63, 24, 19, 0, 105),
        'ACP': (42, 21, 7, 14, 0, 10),
        'MON': (19, 11, 7, 1, 0, 19),
        'HSP': (21, 11, 4, 6, 0, 1),
        'BASE': (3, 1, 0, 2, 0, 1),
        'MEDIA': (11, 3, 7, 1, 0, 0),
        'CCP': (2, 1, 1, 0, 0, 0),
        'TERM': (155, 84, 39, 31, 1, 68),
        'RERIRA': (145, 92, 20, 33, 0, 140),
    }

    def test_every_module_has_the_published_number_of_types_of_each_kind(self):
        self.assertEqual(sorted(MODEL.modules), sorted(self.EXPECTED))
        for name, expected in self.EXPECTED.items():
            c = MODEL.modules[name].counts()
            got = (c['types'], c['sequence'], c['choice'], c['enumerated'], c['string'])
            self.assertEqual(got, expected[:5], name)

    def test_the_two_messages_reach_the_published_number_of_types_per_module(self):
        reached = MODEL.reachable([('LGCP', 'Message'), ('MON', 'Message')])
        for name, expected in self.EXPECTED.items():
            got = len([t for t in reached if t.module.name == name])
            self.assertEqual(got, expected[5], name)
        unreached = [t.qualified for t in MODEL.modules['LGCP'].classes if t not in reached]
        self.assertEqual(unreached, ['LGCP::DriverVersion'])

    def test_in_place_types_are_named_after_their_outer_type_and_field(self):
        for name in ('LGCP::PlayerParams_network', 'LGCP::PlayerParams_file',
                     'LGCP::DTMFParams_threshold', 'LGCP::DTMFParams_level',
                     'LGCP::MixerResources_subtype', 'TERM::CAS_NumberType_type',
                     'TERM::ISDN_NumberType_screeningInd', 'TERM::RtpParams::dname::value_type'):
            find(name)


class ModuleShapes(unittest.TestCase):
    def test_extension_additions_stand_where_the_tables_put_them(self):
        shapes = {}
        for mod in MODEL.order:
            for t in mod.classes:
                if t.additions():
                    shapes[t.qualified] = (len(t.root_members()), len(t.members))
        self.assertEqual(shapes, {
            'LGCP::TonecCode': (6, 7), 'ACP::AcpCommand': (6, 17), 'ACP::AcpResponse': (2, 9),
            'TERM::TermParams': (6, 19), 'TERM::ISDN_NumberType': (2, 3)})
        self.assertEqual(find('LGCP::TonecCode').members[6].name, 'dtmfDone')

    def test_alternative_counts_give_the_index_widths_of_the_tables(self):
        for name, count in (('LGCP::Signal', 23), ('LGCP::Command', 15),
                            ('LGCP::CreateParams', 19), ('LGCP::IoctlParams', 38),
                            ('LGCP::IoctlResponse', 9), ('TERM::KvelRadioModifierParams', 20),
                            ('RERIRA::ProtoKvelPacketPayload', 66)):
            self.assertEqual(len(find(name).root_members()), count, name)

    def test_presence_bits_follow_the_optional_fields_in_order(self):
        rtp = find('TERM::RtpParams')
        self.assertEqual([(m.name, m.bit) for m in rtp.members if m.optional][-1], ('qos-dscp', 11))
        response = find('TERM::ED137RadioResponse')
        self.assertEqual(len(response.optionals()), 14)
        self.assertEqual([m.name for m in response.members if not m.optional],
                         ['type', 'txrxmode', 'ptt-id'])
        self.assertEqual([m.bit for m in find('LGCP::MixerInParams').members],
                         [None, None, 0, 1, 2])

    def test_bounds_are_transcribed_exactly(self):
        response = find('TERM::ED137RadioResponse')
        bounds = {m.name: m.type.bounds for m in response.members if m.type.kind == 'INTEGER'}
        self.assertEqual(bounds['fid'], (112000, 399975))
        self.assertEqual(bounds['r2s-keepalive-period'], (20, 1000))
        self.assertEqual(find('TERM::RtpParams').members[3].type.bounds, (1, 64))
        self.assertEqual(find('TERM::RtpParams').members[11].type.bounds, (0, 4294967295))
        self.assertEqual(find('LGCP::AtsQsigBParams').members[1].type.bounds, (1, 3))


class EnumerationValues(unittest.TestCase):
    def test_numbered_items_carry_their_number_and_the_next_ones_count_on(self):
        cause = values('TERM::ED137CauseCode')
        self.assertEqual(cause['radio-session-pre-emption'], 2000)
        self.assertEqual(cause['radio-invalid-multicast-values'], 2015)
        self.assertEqual(cause['radio-no-permissions'], 2099)
        self.assertEqual(find('TERM::ED137CauseCode').maximum, 2099)
        standby = values('TERM::RadioStandby')
        self.assertEqual((standby['not-use'], standby['active'], standby['standby']), (-1, 0, 1))
        self.assertEqual(find('TERM::RadioStandby').maximum, 1)

    def test_a_numbered_item_may_stand_out_of_order(self):
        dscp = find('TERM::IpQoSDSCP')
        self.assertEqual(dscp.items[-2:], [('cs7', 56, True), ('count', 23, True)])
        self.assertEqual(dscp.maximum, 56)
        self.assertEqual(values('TERM::Payload')['ptR2S'], 123)

    def test_message_identifiers_match_the_payload_alternatives(self):
        ids = find('RERIRA::ProtoKvelMsgID')
        payload = find('RERIRA::ProtoKvelPacketPayload')
        self.assertEqual([n for n, _, _ in ids.items], [m.name for m in payload.members])
        named = values('RERIRA::ProtoKvelMsgID')
        self.assertEqual(named['gw-keep-alive'], 4098)
        self.assertEqual(named['gw-rad-select-channel'], 4135)
        self.assertEqual(named['ali-server-p1'], 13056)
        self.assertEqual(ids.maximum, 13056)

    def test_plain_enumerations_count_from_zero(self):
        for mod in ('LGCP', 'ACP', 'MON', 'BASE', 'MEDIA'):
            for t in MODEL.modules[mod].classes:
                if t.kind == 'ENUMERATED':
                    self.assertEqual([v for _, v, _ in t.items], list(range(len(t.items))),
                                     t.qualified)

    def test_names_that_share_a_value_keep_it(self):
        gain = values('RERIRA::ProtoKvelAnalogGainIDV1')
        self.assertEqual((gain['min'], gain['max'], gain['mux'], gain['fake']), (0, 10, 11, 255))


class ErlangCopy(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.order = erlang.write(MODEL, cls.dir.name)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def text(self, module):
        with open(os.path.join(self.dir.name, module + '.asn')) as f:
            return f.read()

    def test_modules_come_after_the_modules_they_import(self):
        self.assertEqual(sorted(self.order), sorted(MODEL.modules))
        for mod in MODEL.order:
            for source in mod.imports.values():
                self.assertLess(self.order.index(source), self.order.index(mod.name), mod.name)

    def test_numbered_enumerations_become_integers_of_the_same_range(self):
        term = self.text('TERM')
        self.assertIn('ED137CauseCode ::= INTEGER (0..2099, ...)', term)
        self.assertIn('Payload ::= INTEGER (0..123)', term)
        self.assertIn('RadioStandby ::= INTEGER (0..1)', term)
        self.assertIn('ErrorCause ::= ENUMERATED {', self.text('LGCP'))

    def test_underscores_become_hyphens(self):
        self.assertIn('CAS-NumberType ::= SEQUENCE', self.text('TERM'))
        self.assertIn('trunk-bri TrunkParams', self.text('LGCP'))
        self.assertIn('dtmf-detector-mark-max-time INTEGER', self.text('RERIRA'))
        for module in self.order:
            body = self.text(module).split('\n', 1)[1]
            self.assertNotIn('_', body, module)


class Generator(unittest.TestCase):
    def run_gen(self, text):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, 'bad.asn')
            with open(path, 'w') as f:
                f.write(text)
            return subprocess.run([sys.executable, os.path.join(GEN_DIR, 'asn1gen.py'), 'counts',
                                   path], capture_output=True, text=True)

    def test_a_source_error_names_the_file_and_line(self):
        r = self.run_gen('X DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\nA ::= SEQUENCE {\n  a B\n}\nEND\n')
        self.assertEqual(r.returncode, 1)
        self.assertIn('unknown type X.B', r.stderr)
        r = self.run_gen('X DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\nA ::= SEQUENCE {\n  a INTEGER\n  b NULL }\nEND\n')
        self.assertEqual(r.returncode, 1)
        self.assertIn('bad.asn:5: expected', r.stderr)

    def test_counts_are_printed_per_module(self):
        r = self.run_gen('X DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n'
                         'A ::= SEQUENCE { a E, b CHOICE { c NULL, d INTEGER (0..3) } }\n'
                         'E ::= ENUMERATED { e(2), f, ... }\nEND\n')
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.splitlines()[1], 'X 3 1 1 1 0 0')


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0], '-v'])
