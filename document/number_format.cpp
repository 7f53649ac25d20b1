#include "document/number_format.h"

#include "document/text.h"

namespace tw::formula {

char ThousandsSeparator(std::string_view th) {
    if (th.empty()) return 0;
    // PipeDream writes the choice as a number; the characters themselves
    // are read too.
    static constexpr char kByNumber[] = {0, ',', '.', ' '};
    char c = th[0];
    if (c >= '0' && c <= '3') return kByNumber[c - '0'];
    return c == ',' || c == '.' || c == ' ' ? c : 0;
}

NumberFormat DocumentNumberFormat(const DocumentModel& doc) {
    NumberFormat f;
    // OptDP holds DP as a number; "F" reads as none there.
    std::string_view dp = TrimView(doc.Option("DP"));
    if (!dp.empty() && (dp[0] == 'F' || dp[0] == 'f')) {
        f.floating = true;
    } else {
        f.decimals = doc.OptDP < 0 ? 0 : doc.OptDP > 9 ? 9 : doc.OptDP;
    }
    f.brackets = !doc.OptMB.empty() && (doc.OptMB[0] == 'B' || doc.OptMB[0] == 'b');
    f.thousands = ThousandsSeparator(doc.Option("TH"));
    f.dates = DateStyleFromOption(doc.Option("DF"));
    return f;
}

NumberFormat CellNumberFormat(const NumberFormat& defaults, const DocumentModel& doc, const CellConstructs& cell) {
    NumberFormat f = defaults;
    if (cell.floating) {
        f.floating = true;
    } else if (cell.decimals >= 0) {
        f.floating = false;
        f.decimals = cell.decimals;
    }
    if (cell.brackets) f.brackets = true;
    f.leading = cell.leading ? doc.OptLP : std::string();
    f.trailing = cell.trailing ? doc.OptTP : std::string();
    return f;
}

NumberFormat CellNumberFormat(const DocumentModel& doc, const CellConstructs& cell) {
    return CellNumberFormat(DocumentNumberFormat(doc), doc, cell);
}

}  // namespace tw::formula
