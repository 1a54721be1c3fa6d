#include "message_modules.h"

#include <vector>

#include "messages/acp/acp.h"
#include "messages/base/base.h"
#include "messages/ccp/ccp.h"
#include "messages/hsp/hsp.h"
#include "messages/lgcp/lgcp.h"
#include "messages/media/media.h"
#include "messages/mon/mon.h"
#include "messages/rerira/rerira.h"
#include "messages/term/term.h"

namespace MessageModules {

Module const all[9] = {
    {"LGCP", LGCP::moduleTypes, LGCP::moduleTypeNames, LGCP::moduleTypeCount},
    {"ACP", ACP::moduleTypes, ACP::moduleTypeNames, ACP::moduleTypeCount},
    {"MON", MON::moduleTypes, MON::moduleTypeNames, MON::moduleTypeCount},
    {"HSP", HSP::moduleTypes, HSP::moduleTypeNames, HSP::moduleTypeCount},
    {"BASE", BASE::moduleTypes, BASE::moduleTypeNames, BASE::moduleTypeCount},
    {"MEDIA", MEDIA::moduleTypes, MEDIA::moduleTypeNames, MEDIA::moduleTypeCount},
    {"CCP", CCP::moduleTypes, CCP::moduleTypeNames, CCP::moduleTypeCount},
    {"TERM", TERM::moduleTypes, TERM::moduleTypeNames, TERM::moduleTypeCount},
    {"RERIRA", RERIRA::moduleTypes, RERIRA::moduleTypeNames, RERIRA::moduleTypeCount},
};

unsigned tagOf(void const* record) {
    return static_cast<ASN1::BasicInfo const*>(record)->tag;
}

std::map<void const*, std::string> generatedRecords() {
    std::map<void const*, std::string> out;
    for (auto const& m : all)
        for (unsigned i = 0; i < m.count; ++i) out[m.types[i]] = m.name;
    return out;
}

// A generated record of tag 16 is a SEQUENCE; other records of tag 16 or 17
// are lists (SEQUENCE OF, SET OF).
std::set<void const*> reachableFromTheMessages() {
    auto const generated = generatedRecords();
    std::set<void const*> reached;
    std::vector<void const*> todo = {&LGCP::Message::theInfo, &MON::Message::theInfo};
    while (!todo.empty()) {
        void const* r = todo.back();
        todo.pop_back();
        if (!reached.insert(r).second) continue;
        unsigned const tag = tagOf(r);
        bool const isGenerated = generated.count(r) != 0;
        if (isGenerated && tag == 16) {
            auto const* s = static_cast<ASN1::SequenceInfo const*>(r);
            todo.insert(todo.end(), s->fieldInfos,
                        s->fieldInfos + s->numRootFields + s->numKnownExtensions);
        } else if (isGenerated && tag == 0) {
            auto const* c = static_cast<ASN1::ChoiceInfo const*>(r);
            todo.insert(todo.end(), c->selectionInfos, c->selectionInfos + c->totalChoices);
        } else if (!isGenerated && (tag == 16 || tag == 17)) {
            todo.push_back(static_cast<ASN1::SequenceOfInfo const*>(r)->elementInfo);
        }
    }
    return reached;
}

}  // namespace MessageModules
