// The host's side of the message channel with the page: composing the one message the host sends and
// recognising the two the page sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// {"action":"openFile","name":"<name>","content":"<text>","generation":<n>} with both texts escaped, no
// white space. `generation` numbers the delivery (see page_message_actions.h).
std::wstring ComposeOpenFileMessage(std::wstring_view name, std::wstring_view content, uint32_t generation);

enum class PageMessage { Ready, CloseDoc, Other };

// Recognition is by substring, not by parsing: the quoted word may stand anywhere in the JSON text.
// "ready" is tested first, so a text holding both words is Ready.
PageMessage ClassifyPageMessage(std::wstring_view json);

// The delivery that a "closeDoc" message names, {"action":"closeDoc","generation":<n>}: the decimal
// number after the first "generation": in its text; 0 (no delivery) when there is none or it does not
// fit 32 bits.
uint32_t ClosedDeliveryNumber(std::wstring_view json) noexcept;
