#include "hostdata/ValueText.h"

#include "platform/Ansi.h"

#include <type_traits>

namespace hostdata {

std::string ansiText(const jet::Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::u16string>)
                return ansi::fromUtf16(v);
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "True" : "False";
            else if constexpr (std::is_integral_v<T>)
                return std::to_string(static_cast<long long>(v));
            else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>)
                return jet::shortestText(v);
            else if constexpr (std::is_same_v<T, jet::Currency>)
                return jet::currencyText(v);
            else
                return std::string();
        },
        value);
}

jet::Value jetText(std::string_view text) {
    return jet::Value(ansi::toUtf16(text));
}

} // namespace hostdata
