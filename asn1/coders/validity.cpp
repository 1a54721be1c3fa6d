#include "asn1/coders/validity.h"

#include "asn1/asn1.h"

namespace ASN1 {

namespace {

// L <= n (sizes are unsigned; L taken as unsigned).
bool aboveLower(ConstrainedObject const& v, unsigned n) {
    return n >= unsigned(v.getLowerLimit());
}

bool belowUpper(ConstrainedObject const& v, unsigned n) {
    return n <= v.getUpperLimit();
}

// Size rule of the loose check: the upper bound is waived for an extensible
// constraint (or, with `fixedOnly`, for every constraint but a fixed one).
bool sizeValid(ConstrainedObject const& v, unsigned n, bool fixedOnly) {
    if (!aboveLower(v, n)) return false;
    bool const checkUpper = fixedOnly ? v.getConstraintType() == FixedConstraint : !v.extendable();
    return !checkUpper || belowUpper(v, n);
}

bool sizeStrictlyValid(ConstrainedObject const& v, unsigned n) {
    return aboveLower(v, n) && belowUpper(v, n);
}

bool integerBelowLower(INTEGER const& v) {
    if (!v.constrained()) return false;
    int const lb = v.getLowerLimit();
    if (lb >= 0) return unsigned(v.getValue()) < unsigned(lb);
    return v.getValue() < lb;
}

bool integerAboveUpper(INTEGER const& v) {
    if (!v.constrained() || v.getConstraintType() == PartiallyConstrained) return false;
    if (v.getLowerLimit() >= 0) return unsigned(v.getValue()) > v.getUpperLimit();
    return v.getValue() > int(v.getUpperLimit());
}

// The size messages: below the lower bound always, above the upper bound
// only under a fixed constraint.
bool traceSize(std::ostream& os, char const* what, ConstrainedObject const& v, unsigned n) {
    if (!aboveLower(v, n)) {
        os << " This " << what << " has size " << n << " smaller than its lower bound "
           << v.getLowerLimit();
        return false;
    }
    if (v.getConstraintType() == FixedConstraint && !belowUpper(v, n)) {
        os << " This " << what << " has size " << n << " greater than its upper bound "
           << v.getUpperLimit();
        return false;
    }
    return true;
}

}  // namespace

// --- rules of the types ----------------------------------------------------

bool AbstractData::isValid() const {
    ValidChecker checker;
    return accept(checker);
}

bool AbstractData::isStrictlyValid() const {
    StrictlyValidChecker checker;
    return accept(checker);
}

bool INTEGER::isStrictValid() const {
    return !integerBelowLower(*this) && !integerAboveUpper(*this);
}

bool INTEGER::isValid() const {
    return extendable() || isStrictValid();
}

bool ENUMERATED::isStrictlyValid() const {
    return value_ <= getMaximum();
}

bool ENUMERATED::isValid() const {
    return extendable() || isStrictlyValid();
}

bool OBJECT_IDENTIFIER::isValid() const {
    return levels() > 0;
}

bool OBJECT_IDENTIFIER::isStrictlyValid() const {
    return levels() > 0;
}

bool BIT_STRING::isValid() const {
    return sizeValid(*this, size(), true);
}

bool BIT_STRING::isStrictlyValid() const {
    return sizeStrictlyValid(*this, size());
}

bool OCTET_STRING::isValid() const {
    return sizeValid(*this, unsigned(size()), true);
}

bool OCTET_STRING::isStrictlyValid() const {
    return sizeStrictlyValid(*this, unsigned(size()));
}

bool AbstractString::isValid() const {
    return sizeValid(*this, unsigned(size()), false) && find_first_invalid() == npos;
}

bool AbstractString::isStrictlyValid() const {
    return sizeStrictlyValid(*this, unsigned(size())) && find_first_invalid() == npos;
}

bool BMPString::legalCharacter(wchar_t c) const {
    return int32_t(getFirstChar()) <= int32_t(c) && int32_t(c) <= int32_t(getLastChar());
}

BMPString::size_type BMPString::first_illegal_at() const {
    for (size_type i = 0; i < size(); ++i) {
        if (!legalCharacter((*this)[i])) return i;
    }
    return size();
}

bool BMPString::isValid() const {
    return sizeValid(*this, unsigned(size()), false) && first_illegal_at() == size();
}

bool BMPString::isStrictlyValid() const {
    return sizeStrictlyValid(*this, unsigned(size())) && first_illegal_at() == size();
}

bool GeneralizedTime::isStrictlyValid() const {
    return year > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 &&
           hour <= 24 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59 &&
           mindiff >= -720 && mindiff <= 720;
}

bool GeneralizedTime::isValid() const {
    return isStrictlyValid();
}

bool CHOICE::isValid() const {
    if (selection_ < 0 || !choice_) return false;
    if (unsigned(selection_) >= getNumChoices() && !extendable()) return false;
    return choice_->AbstractData::isValid();
}

bool CHOICE::isStrictlyValid() const {
    if (selection_ < 0 || unsigned(selection_) >= getNumChoices() || !choice_) return false;
    return choice_->AbstractData::isStrictlyValid();
}

bool SEQUENCE_OF_Base::isValid() const {
    if (!sizeValid(*this, size(), false)) return false;
    for (AbstractData const* e : elements_) {
        if (!e || !e->AbstractData::isValid()) return false;
    }
    return true;
}

bool SEQUENCE_OF_Base::isStrictlyValid() const {
    if (!sizeStrictlyValid(*this, size())) return false;
    for (AbstractData const* e : elements_) {
        if (!e || !e->AbstractData::isStrictlyValid()) return false;
    }
    return true;
}

bool OpenData::isValid() const {
    return data_ ? data_->AbstractData::isValid() : buf_ != nullptr;
}

bool OpenData::isStrictlyValid() const {
    return data_ ? data_->AbstractData::isStrictlyValid() : buf_ != nullptr;
}

// --- checkers --------------------------------------------------------------

bool ValidChecker::do_visit(INTEGER const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(ENUMERATED const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(OBJECT_IDENTIFIER const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(BIT_STRING const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(OCTET_STRING const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(AbstractString const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(BMPString const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(CHOICE const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(OpenData const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(GeneralizedTime const& v) {
    return v.isValid();
}
bool ValidChecker::do_visit(SEQUENCE_OF_Base const& v) {
    return v.isValid();
}
bool ValidChecker::visitExtensionRoot(SEQUENCE const& v, int index) {
    AbstractData const* field = v.getField(unsigned(index));
    return field && field->isValid();
}
bool ValidChecker::visitKnownExtension(SEQUENCE const& v, int index) {
    return visitExtensionRoot(v, index);
}

bool StrictlyValidChecker::do_visit(INTEGER const& v) {
    return v.isStrictValid();
}
bool StrictlyValidChecker::do_visit(ENUMERATED const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(OBJECT_IDENTIFIER const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(BIT_STRING const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(OCTET_STRING const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(AbstractString const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(BMPString const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(CHOICE const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(OpenData const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(GeneralizedTime const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::do_visit(SEQUENCE_OF_Base const& v) {
    return v.isStrictlyValid();
}
bool StrictlyValidChecker::visitExtensionRoot(SEQUENCE const& v, int index) {
    AbstractData const* field = v.getField(unsigned(index));
    return field && field->isStrictlyValid();
}
bool StrictlyValidChecker::visitKnownExtension(SEQUENCE const& v, int index) {
    return visitExtensionRoot(v, index);
}

// --- tracer ----------------------------------------------------------------

bool InvalidTracer::do_visit(INTEGER const& v) {
    bool const asUnsigned = v.getLowerLimit() >= 0;
    auto writeValue = [&] {
        if (asUnsigned) {
            text_ << unsigned(v.getValue());
        } else {
            text_ << v.getValue();
        }
    };
    if (integerBelowLower(v)) {
        text_ << " The INTEGER value ";
        writeValue();
        text_ << " is smaller than lower bound " << v.getLowerLimit();
        return false;
    }
    if (integerAboveUpper(v) && !v.extendable()) {
        text_ << " The INTEGER value ";
        writeValue();
        text_ << " is greater than upper bound " << v.getUpperLimit();
        return false;
    }
    return true;
}

bool InvalidTracer::do_visit(ENUMERATED const& v) {
    if (v.isStrictlyValid()) return true;
    text_ << " This ENUMERATED has invalid value " << v.asInt();
    return false;
}

bool InvalidTracer::do_visit(OBJECT_IDENTIFIER const& v) {
    if (v.levels() > 0) return true;
    text_ << " This OBJECT IDENTIFIER is not assigned";
    return false;
}

bool InvalidTracer::do_visit(BIT_STRING const& v) {
    return traceSize(text_, "BIT STRING", v, v.size());
}

bool InvalidTracer::do_visit(OCTET_STRING const& v) {
    return traceSize(text_, "OCTET STRING", v, unsigned(v.size()));
}

bool InvalidTracer::do_visit(AbstractString const& v) {
    if (!traceSize(text_, "AbstractString", v, unsigned(v.size()))) return false;
    std::string::size_type const at = v.find_first_invalid();
    if (at == std::string::npos) return true;
    text_ << " The character '" << v[at] << "' is not valid for the string";
    return false;
}

bool InvalidTracer::do_visit(BMPString const& v) {
    if (!traceSize(text_, "BMPString", v, unsigned(v.size()))) return false;
    BMPString::size_type const at = v.first_illegal_at();
    if (at == v.size()) return true;
    text_ << " The character '" << int32_t(v[at]) << "' is not valid for the string";
    return false;
}

bool InvalidTracer::do_visit(CHOICE const& v) {
    int const selection = v.currentSelection();
    if (selection == CHOICE::UnknownSelection) {
        text_ << " This selection is not understood by this decoder";
        return false;
    }
    if (selection < 0 || !v.getSelection() || !v.getSelectionName()) {
        text_ << " This CHOICE is not selected";
        return false;
    }
    text_ << '.' << v.getSelectionName();
    return v.getSelection()->accept(*this);
}

bool InvalidTracer::do_visit(OpenData const& v) {
    if (v.has_data()) return v.get_data().accept(*this);
    if (v.has_buf()) return true;
    text_ << " This Open Type does not contain any valid data";
    return false;
}

bool InvalidTracer::do_visit(GeneralizedTime const& v) {
    if (v.isStrictlyValid()) return true;
    text_ << " This GeneralizedTime is not valid";
    return false;
}

bool InvalidTracer::do_visit(SEQUENCE_OF_Base const& v) {
    if (!traceSize(text_, "SEQUENCE OF", v, v.size())) return false;
    for (unsigned i = 0; i < v.size(); ++i) {
        InvalidTracer element;
        AbstractData const* e = v.at(i);
        if (e && e->accept(element)) continue;
        text_ << '[' << i << ']' << element.text();
        return false;
    }
    return true;
}

bool InvalidTracer::visitExtensionRoot(SEQUENCE const& v, int index) {
    InvalidTracer field;
    AbstractData const* value = v.getField(unsigned(index));
    if (value && value->accept(field)) return true;
    text_ << '.' << v.getFieldName(index) << field.text();
    return false;
}

bool InvalidTracer::visitKnownExtension(SEQUENCE const& v, int index) {
    return visitExtensionRoot(v, index);
}

std::ostream& operator<<(std::ostream& os, InvalidTracer const& tracer) {
    return os << tracer.text();
}

bool trace_invalid(std::ostream& out, char const* prefix, AbstractData const& value) {
    InvalidTracer tracer;
    if (value.accept(tracer)) return true;
    out << prefix << tracer << std::endl;
    return false;
}

}  // namespace ASN1
