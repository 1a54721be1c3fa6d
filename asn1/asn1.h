#pragma once
// Everything of the ASN.1 runtime: value classes, visitors and coders.

#include "asn1/coders/avn_decoder.h"
#include "asn1/coders/ber_decoder.h"
#include "asn1/coders/ber_encoder.h"
#include "asn1/coders/coder_env.h"
#include "asn1/coders/io_wrapper.h"
#include "asn1/coders/validity.h"
#include "asn1/coders/visitor.h"
#include "asn1/types/abstract_data.h"
#include "asn1/types/choice.h"
#include "asn1/types/oid_time.h"
#include "asn1/types/open_data.h"
#include "asn1/types/sequence.h"
#include "asn1/types/sequence_of.h"
#include "asn1/types/simple.h"
#include "asn1/types/strings.h"
