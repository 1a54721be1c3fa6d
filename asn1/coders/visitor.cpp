#include "asn1/coders/visitor.h"

#include "asn1/asn1.h"

namespace ASN1 {

bool Visitor::do_visit(IntegerWithNamedNumber& v) {
    return do_visit(static_cast<INTEGER&>(v));
}

bool Visitor::do_visit(SEQUENCE& seq) {
    int const r = preVisitExtensionRoots(seq);
    if (r < RootOnly) return r != Fail;
    SequenceInfo const* rec = seq.record();
    int optional = -1;
    for (unsigned i = 0; i < rec->numRootFields; ++i) {
        int const id = rec->fieldIds[i];
        int const result = visitExtensionRoot(seq, int(i), id);
        if (result < RootOnly) return result != Fail;
        if (id != -1) optional = id;
    }
    if (r != Continue) return true;
    int const e = preVisitExtensions(seq);
    if (e != Continue) return e != Fail;
    for (unsigned i = rec->numRootFields; i < seq.fieldCount(); ++i) {
        ++optional;
        int const result = visitKnownExtension(seq, int(i), optional);
        if (result != Continue) return result != Fail;
    }
    return visitUnknownExtensions(seq) != Fail;
}

bool ConstVisitor::do_visit(SEQUENCE const& seq) {
    if (!preVisitExtensionRoots(seq)) return false;
    SequenceInfo const* rec = seq.record();
    int optional = -1;
    for (unsigned i = 0; i < rec->numRootFields; ++i) {
        int const id = rec->fieldIds[i];
        if (id == -1 || seq.hasOptionalField(unsigned(id))) {
            if (!visitExtensionRoot(seq, int(i))) return false;
        }
        if (id != -1) optional = id;
    }
    if (seq.extensionMap().size() != 0) {
        if (!preVisitExtensions(seq)) return false;
        for (unsigned i = rec->numRootFields; i < seq.fieldCount(); ++i) {
            ++optional;
            if (seq.hasOptionalField(unsigned(optional)) && !visitKnownExtension(seq, int(i)))
                return false;
        }
    }
    return afterVisitSequence(seq);
}

bool ConstVisitor::do_visit(Null const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(BOOLEAN const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(INTEGER const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(IntegerWithNamedNumber const& v) {
    return do_visit(static_cast<INTEGER const&>(v));
}
bool ConstVisitor::do_visit(ENUMERATED const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(OBJECT_IDENTIFIER const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(BIT_STRING const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(OCTET_STRING const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(AbstractString const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(BMPString const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(CHOICE const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(OpenData const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(GeneralizedTime const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::do_visit(SEQUENCE_OF_Base const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}
bool ConstVisitor::preVisitExtensionRoots(SEQUENCE const& v) {
    return do_visit(static_cast<AbstractData const&>(v));
}

}  // namespace ASN1
