#include "asn1_messages.h"

namespace BenchMsgs {

using namespace ASN1;

namespace {

using Slot = Constrained_INTEGER<FixedConstraint, 0, 1023>;
using Trunk = Constrained_INTEGER<FixedConstraint, 0, 3>;
using Timeslot = Constrained_INTEGER<FixedConstraint, 0, 31>;
using Port = Constrained_INTEGER<FixedConstraint, 0, 65535>;
using Byte = Constrained_INTEGER<FixedConstraint, 0, 255>;
using Digit = Constrained_INTEGER<FixedConstraint, 0, 15>;

void const* const trunkSlotInfos[] = {&Trunk::theInfo, &Timeslot::theInfo};
int32_t const mandatory2[] = {-1, -1};
char const* const trunkSlotNames[] = {"trunk", "timeslot"};
SequenceInfo const trunkSlot = {
    &SEQUENCE::create, 16,      false,         trunkSlotInfos, mandatory2, 2, 0, 0,
    nullptr,           nullptr, trunkSlotNames};

void const* const rtpInfos[] = {&Port::theInfo, &IA5String::theInfo, &Port::theInfo};
int32_t const rtpIds[] = {-1, 0, 1};
char const* const rtpNames[] = {"localPort", "remoteHost", "remotePort"};
SequenceInfo const rtpParams = {&SEQUENCE::create, 16,      false,   rtpInfos, rtpIds, 3, 0, 2,
                                nullptr,           nullptr, rtpNames};

void const* const createInfos[] = {&trunkSlot, &rtpParams};
char const* const createNames[] = {"trunk", "rtp"};
ChoiceInfo const createParams = {&CHOICE::create, 0,          false, createInfos, 2, 2,
                                 nullptr,         createNames};

void const* const commandInfos[] = {&Null::theInfo, &createParams, &Slot::theInfo, &Null::theInfo};
char const* const commandNames[] = {"ping", "create", "connect", "destroy"};
ChoiceInfo const command = {&CHOICE::create, 0, true, commandInfos, 4, 4, nullptr, commandNames};

char const* const errorNames[] = {"unexpectedMsgType", "internal", "badSlot"};
EnumeratedInfo const errorCause = {&ENUMERATED::create, 10, true, 2, errorNames, 3};
void const* const responseInfos[] = {&Null::theInfo, &errorCause};
char const* const responseNames[] = {"success", "error"};
ChoiceInfo const response = {&CHOICE::create, 0, false, responseInfos, 2, 2, nullptr,
                             responseNames};

void const* const tonecCodeInfos[] = {&Digit::theInfo, &Byte::theInfo, &Null::theInfo};
char const* const tonecCodeNames[] = {"dtmf", "tone", "dtmfDone"};
ChoiceInfo const tonecCode = {&CHOICE::create, 0, true, tonecCodeInfos, 2, 3, nullptr,
                              tonecCodeNames};
void const* const tonecInfos[] = {&tonecCode, &Port::theInfo};
int32_t const tonecIds[] = {-1, 0};
char const* const tonecNames[] = {"code", "duration"};
SequenceInfo const tonecEvent = {
    &SEQUENCE::create, 16, false, tonecInfos, tonecIds, 2, 0, 1, nullptr, nullptr, tonecNames};

void const* const trunkResInfos[] = {&Trunk::theInfo, &Timeslot::theInfo, &BOOLEAN::theInfo};
int32_t const mandatory3[] = {-1, -1, -1};
char const* const trunkResNames[] = {"trunk", "channels", "active"};
SequenceInfo const trunkResource = {
    &SEQUENCE::create, 16,      false,        trunkResInfos, mandatory3, 3, 0, 0,
    nullptr,           nullptr, trunkResNames};
SequenceOfInfo const trunkList = {
    &SEQUENCE_OF_Base::create, 16, Unconstrained, 0, 0xFFFFFFFFu, &trunkResource};
void const* const resourcesInfos[] = {&trunkList, &Byte::theInfo, &IA5String::theInfo};
char const* const resourcesNames[] = {"trunks", "mixers", "version"};
SequenceInfo const resources = {
    &SEQUENCE::create, 16,      false,         resourcesInfos, mandatory3, 3, 0, 0,
    nullptr,           nullptr, resourcesNames};

void const* const signalInfos[] = {&tonecEvent, &resources};
char const* const signalNames[] = {"tonec", "query"};
ChoiceInfo const signal = {&CHOICE::create, 0, false, signalInfos, 2, 2, nullptr, signalNames};

void const* const pduInfos[] = {&command, &response, &signal};
char const* const pduNames[] = {"command", "response", "signal"};
ChoiceInfo const pdu = {&CHOICE::create, 0, false, pduInfos, 3, 3, nullptr, pduNames};

void const* const messageInfos[] = {&INTEGER::theInfo, &Slot::theInfo, &pdu};
int32_t const messageIds[] = {0, 1, -1};
char const* const messageNames[] = {"seq", "slot", "pdu"};
SequenceInfo const message = {&SEQUENCE::create, 16,      false,       messageInfos,
                              messageIds,        3,       0,           2,
                              nullptr,           nullptr, messageNames};

// Small helpers to fill values by position.
SEQUENCE& seqOf(AbstractData* v) {
    return static_cast<SEQUENCE&>(*v);
}
CHOICE& choiceOf(AbstractData* v) {
    return static_cast<CHOICE&>(*v);
}
INTEGER& intOf(AbstractData* v) {
    return static_cast<INTEGER&>(*v);
}

AbstractData* select(AbstractData* choice, int index) {
    choiceOf(choice).select(index);
    return choiceOf(choice).getSelection();
}

std::unique_ptr<AbstractData> newMessage(int seqNo, int slot) {
    std::unique_ptr<AbstractData> m(AbstractData::create(&message));
    if (seqNo >= 0) {
        seqOf(m.get()).includeOptionalField(0, 0);
        intOf(seqOf(m.get()).getField(0)) = seqNo;
    }
    if (slot >= 0) {
        seqOf(m.get()).includeOptionalField(1, 1);
        intOf(seqOf(m.get()).getField(1)) = slot;
    }
    return m;
}

AbstractData* pduOf(std::unique_ptr<AbstractData> const& m) {
    return seqOf(m.get()).getField(2);
}

}  // namespace

void const* messageInfo() {
    return &message;
}

std::vector<std::unique_ptr<AbstractData>> mix() {
    std::vector<std::unique_ptr<AbstractData>> out;

    auto ping = newMessage(17, -1);
    select(select(pduOf(ping), 0), 0);
    out.push_back(std::move(ping));

    auto create = newMessage(18, 12);
    SEQUENCE& ts = seqOf(select(select(select(pduOf(create), 0), 1), 0));
    intOf(ts.getField(0)) = 1;
    intOf(ts.getField(1)) = 5;
    out.push_back(std::move(create));

    auto connect = newMessage(19, 12);
    intOf(select(select(pduOf(connect), 0), 2)) = 20;
    out.push_back(std::move(connect));

    auto success = newMessage(19, 12);
    select(select(pduOf(success), 1), 0);
    out.push_back(std::move(success));

    auto dtmf = newMessage(-1, 12);
    SEQUENCE& ev = seqOf(select(select(pduOf(dtmf), 2), 0));
    intOf(select(ev.getField(0), 0)) = 5;
    ev.includeOptionalField(0, 1);
    intOf(ev.getField(1)) = 80;
    out.push_back(std::move(dtmf));

    auto report = newMessage(-1, -1);
    SEQUENCE& res = seqOf(select(select(pduOf(report), 2), 1));
    auto& trunks = static_cast<SEQUENCE_OF_Base&>(*res.getField(0));
    for (int t = 0; t < 4; ++t) {
        AbstractData* e = trunks.createElement();
        intOf(seqOf(e).getField(0)) = t;
        intOf(seqOf(e).getField(1)) = 30;
        static_cast<BOOLEAN&>(*seqOf(e).getField(2)) = true;
        trunks.push_back(e);
    }
    intOf(res.getField(1)) = 8;
    static_cast<AbstractString&>(*res.getField(2)).assign("1.2.3");
    out.push_back(std::move(report));
    return out;
}

}  // namespace BenchMsgs
