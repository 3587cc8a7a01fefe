#pragma once

#include <cstddef>
#include <string_view>

#include "common/text.h"

namespace verdalia {

// Where the fields the rules read stand in a record: 1-based start and length. The field
// definitions of the reference database place every field for the physical checks; the
// runs and the logical rules read these few at fixed positions, whatever the database says.
struct Span {
  std::size_t start;
  std::size_t length;
};

// An amount written as digits with implied decimals: the first `integer_digits` characters
// are the integer part, the last `decimals` the fraction.
struct Amount {
  Span span;
  std::size_t integer_digits;
  std::size_t decimals;
};

// The field's characters, untrimmed; shorter, or empty, when the line ends before it.
inline std::string_view Field(std::string_view line, Span span) {
  return Mid(line, span.start, span.length);
}

// The amount's value: the leading-number value of its integer digits, a point and its
// decimals.
inline double AmountOf(std::string_view line, Amount amount) {
  return FixedPointValueAt(line, amount.span.start, amount.span.length, amount.integer_digits,
                           amount.decimals);
}

// The header of every kind: the period (the closing date's year and month), the insurer's
// identity number, check digit and name.
inline constexpr struct HeaderLayout {
  Span period{2, 6};
  Span insurer_rut{10, 9};
  Span insurer_check_digit{19, 1};
  Span insurer_name{20, 80};
} kHeader;

// Production: a policy or endorsement record ("2").
inline constexpr struct PolicyLayout {
  Span information_type{17, 1}; // "P" a new policy, "E" an endorsement
  Span policy_number{18, 15};
  Amount coverage_level{{33, 3}, 1, 2};
  Span endorsement_number{36, 11};
  Span validity_start{47, 8};
  Span validity_end{55, 8};
  Span insured_identity{71, 10}; // identity number and check digit of the first party
  Span insured_name{81, 120};
  Span contractor_identity{201, 10};
  Span contractor_name{211, 120};
  Span commune{331, 5};
  Span crop{336, 6};
  Amount amount_factor{{349, 7}, 3, 4};
  Amount premium_rate{{356, 4}, 2, 2}; // in percent
  Amount fixed_premium{{360, 6}, 4, 2};
  Amount insured_amount{{366, 7}, 5, 2};
  Amount net_premium{{373, 6}, 4, 2};
} kPolicy;

// Production: an item record ("3") of a policy or endorsement.
inline constexpr struct ItemLayout {
  Span policy_number{2, 15};
  Span item_number{17, 4};
  Amount quantity_b{{166, 7}, 5, 2};
  Amount quantity_a{{173, 8}, 6, 2};
  Span endorsement_number{181, 11};
  Span endorsement_type{192, 2};
} kItem;

// Claims information: a claim record ("2").
inline constexpr struct ClaimLayout {
  Span resolution{2, 1}; // "R" rejected, "A" accepted, "E" a third code
  Span policy_number{3, 15};
  Span claim_number{18, 15};
  Span declaration_date{33, 8};
  Span occurrence_date{41, 8};
  Span report_date{49, 8};
  Span causes{57, 6};
  Amount expenses{{63, 14}, 12, 2};
} kClaim;

// Claims information: a claim detail record ("3").
inline constexpr struct ClaimDetailLayout {
  Span policy_number{2, 15};
  Span claim_number{17, 15};
  Span item{32, 4};
  Span loss_type{51, 1};
  Span indemnity{52, 14};
  Span indemnity_type{66, 1};
  Span real_production{67, 10};
} kClaimDetail;

// Claims notification: a claim notice ("2"). The policy number is read 19 characters wide,
// into the declaration date's year.
inline constexpr struct NoticeLayout {
  Span claim_number{2, 15};
  Span policy_number{32, 19};
  Span declaration_date{47, 8};
  Span occurrence_date{55, 8};
  Span causes{63, 6};
  Span provision{69, 14};
} kNotice;

} // namespace verdalia
