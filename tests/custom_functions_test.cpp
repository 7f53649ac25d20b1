// Custom function sheets run by the engine: control statements, types,
// bounds and the errors of sheets that are not well formed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formula/custom_functions.h"
#include "formula_sheet.h"

namespace tw::formula {
namespace {

using test::FormulaSheet;

Value N(double d) { return Value::Number(d); }
Value S(const char* s) { return Value::String(s); }
Value E(ErrorCode e) { return Value::Error(e); }

// A sheet whose column A holds `lines` from row 1 ("" for a blank cell),
// and column B what `b` holds.
FormulaSheet Statements(const std::vector<std::string>& lines, const std::vector<std::string>& b = {}) {
    FormulaSheet sheet;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].empty()) sheet.Set("A" + std::to_string(i + 1), "=" + lines[i]);
    for (std::size_t i = 0; i < b.size(); ++i) sheet.Set("B" + std::to_string(i + 1), b[i]);
    sheet.SetSize(2, static_cast<int>(std::max(lines.size(), b.size())));
    return sheet;
}

struct CallCase {
    const char* what;
    std::vector<std::string> lines;
    const char* function;
    std::vector<Value> args;
    Value expected;
};

void RunCases(const std::vector<CallCase>& cases) {
    for (const CallCase& c : cases) {
        SCOPED_TRACE(c.what);
        FormulaSheet sheet = Statements(c.lines);
        CustomSheet functions(sheet);
        functions.SetStepLimits(100000, 1000000);
        EXPECT_EQ(Describe(functions.Call(c.function, c.args)), Describe(c.expected));
    }
}

const std::vector<std::string> kClassify = {
    R"(function("size","x:number"))",
    "if(@x>10)",
    R"(result("big"))",
    "elseif(@x>5)",
    R"(result("middling"))",
    "else",
    "  if(@x<0)",
    R"(  result("negative"))",
    "  endif",
    R"(result("small"))",
    "endif",
};

TEST(CustomFunctions, ControlStatements) {
    const std::vector<std::string> tri = {
        R"(function("tri","n:number"))", R"(set_name("t",0))",   R"(set_name("i",1))", "while(i<=@n)",
        R"(set_name("t",t+i))",          R"(set_name("i",i+1))", "endwhile",           "result(t)"};
    const std::vector<std::string> gcd = {R"(function("gcd","num_1:number","num_2:number"))",
                                          R"(set_name("a",@num_1))",
                                          R"(set_name("b",@num_2))",
                                          "repeat",
                                          R"(set_name("a",mod(a,b)))",
                                          "if(a=0,result(b),)",
                                          R"(set_name("b",mod(b,a)))",
                                          "until(b=0)",
                                          "result(a)"};
    const std::vector<std::string> sum_to = {R"(function("sum_to","n:number","by:number"))",
                                             R"(set_name("s",0))",
                                             R"(for("k",1,@n,@by))",
                                             R"(set_name("s",s+k))",
                                             "next",
                                             "result(s)"};
    const std::vector<std::string> down = {R"(function("down","n:number"))",
                                           R"(set_name("s",""))",
                                           R"(for("k",@n,1,-2))",
                                           R"(set_name("s",join(s,string(k,0))))",
                                           "next",
                                           "result(s)"};
    const std::vector<std::string> find_space = {R"(function("find_space","str:text"))", R"(for("i",1,length(@str),1))",
                                                 "if(mid(@str,i,1)=char(32),break,0)", "next", "result(i)"};
    const std::vector<std::string> odd = {R"(function("odd","n:number"))",
                                          R"(set_name("s",0))",
                                          R"(for("k",1,@n))",
                                          "if(mod(k,2)=0,continue,)",
                                          R"(set_name("s",s+k))",
                                          "next",
                                          "result(s)"};
    // BREAK(2) leaves both loops at the first pair whose product passes n.
    const std::vector<std::string> pairs = {R"(function("pairs","n:number"))",
                                            R"(for("i",1,10))",
                                            R"(for("j",1,10))",
                                            R"(if(i*j>@n,break(2),))",
                                            "next",
                                            "next",
                                            "result(i*100+j)"};
    const std::vector<std::string> jump = {R"(function("jump"))", R"(set_name("v",1))", "goto(A5)",
                                           R"(set_name("v",99))", "result(v)"};
    const std::vector<std::string> cells = {R"(function("twice","x:number"))", "set_value(B1,@x*2)", "B1+1",
                                            "result(B1*A3)"};
    const std::vector<std::string> sign = {R"(function("pos","num"))", "if(@num<=0,result(1),result(@num))"};
    RunCases({
        {"if: first branch", kClassify, "size", {N(11)}, S("big")},
        {"elseif", kClassify, "size", {N(7)}, S("middling")},
        {"else", kClassify, "size", {N(3)}, S("small")},
        {"if nested in else", kClassify, "size", {N(-1)}, S("negative")},
        {"while", tri, "tri", {N(4)}, N(10)},
        {"while never entered", tri, "tri", {N(0)}, N(0)},
        {"repeat until", gcd, "gcd", {N(25), N(55)}, N(5)},
        {"repeat until, other order", gcd, "GCD", {N(1071), N(462)}, N(21)},
        {"for", sum_to, "sum_to", {N(5), N(1)}, N(15)},
        {"for with a step", sum_to, "sum_to", {N(10), N(3)}, N(22)},
        {"for counting down", down, "down", {N(6)}, S("642")},
        {"for never entered", sum_to, "sum_to", {N(0), N(1)}, N(0)},
        {"break", find_space, "find_space", {S("ab cd")}, N(3)},
        {"loop runs out", find_space, "find_space", {S("abcd")}, N(5)},
        {"continue", odd, "odd", {N(6)}, N(9)},
        {"break(2)", pairs, "pairs", {N(20)}, N(307)},
        {"goto", jump, "jump", {}, N(1)},
        {"set_value and the cells' values", cells, "twice", {N(4)}, N(72)},
        {"if with statements as arguments", sign, "pos", {N(-3)}, N(1)},
        {"if with statements, else side", sign, "pos", {N(6)}, N(6)},
    });
}

// A sheet's cells as another document reads them: what its statements
// left there, and before they ran, constants and text as they stand.
TEST(CustomFunctions, CellsAsOtherDocumentsReadThem) {
    FormulaSheet sheet = Statements({R"(function("twice","x:number"))", "set_value(B1,@x*2)", "@x+1", "result(B1)"},
                                    {"=5", "words", "=B1*3"});
    CustomSheet functions(sheet);
    auto cells = [&] {  // B1, B2, B3, A3
        std::vector<Value> out;
        for (auto [col, row] : {std::pair{2, 1}, {2, 2}, {2, 3}, {1, 3}}) out.push_back(functions.CellValue(col, row));
        return out;
    };
    EXPECT_EQ(cells(), (std::vector<Value>{N(5), S("words"), Value(), Value()}));
    EXPECT_EQ(functions.Call("twice", {N(4)}), N(8));
    functions.SetCell(2, 2, N(3));  // SET_VALUE from another document
    EXPECT_EQ(cells(), (std::vector<Value>{N(8), N(3), Value(), N(5)}));
}

TEST(CustomFunctions, CallsAndRecursion) {
    const std::vector<std::string> sheet = {
        R"(function("fact","arg_1"))",
        "result(if(@arg_1<=1,1,@arg_1*fact(@arg_1-1)))",
        "",
        R"(function("fib","n:number"))",
        "if(@n<2,result(@n),)",
        "result(fib(@n-1)+fib(@n-2))",
        "",
        R"(function("sq_sum","a:number","b:number"))",
        // A call that changes a name the calling statement already read.
        R"(set_name("a",@a))",
        "result(sq(a)+sq(@b))",
        R"(function("sq","x"))",
        R"(set_name("a",-1))",
        "result(@x*@x)",
        R"(function("deep","n:number"))",
        "result(deep(@n+1))",
    };
    FormulaSheet src = Statements(sheet);
    CustomSheet functions(src);
    EXPECT_EQ(functions.Call("fact", {N(5)}), N(120));
    EXPECT_EQ(functions.Call("fact", {N(10)}), N(3628800));
    EXPECT_EQ(functions.Call("fib", {N(15)}), N(610));
    EXPECT_EQ(functions.Call("sq_sum", {N(3), N(4)}), N(25));
    // The stack of frames, not the C++ stack, carries the recursion.
    EXPECT_EQ(functions.Call("fact", {N(1000)}), E(ErrorCode::OutOfRange));
    EXPECT_GE(functions.DeepestStack(), 1000u);
    // Runaway recursion stops at the frame bound; the sheet goes on.
    functions.SetFrameLimit(200);
    EXPECT_EQ(functions.Call("deep", {N(1)}), E(ErrorCode::StackOverflow));
    EXPECT_EQ(functions.DeepestStack(), 1000u);
    EXPECT_EQ(functions.Call("fact", {N(6)}), N(720));
}

TEST(CustomFunctions, LoopsThatNeverEndAreBounded) {
    FormulaSheet src = Statements({R"(function("forever"))", "while(1)", "endwhile", "result(0)", R"(function("one"))",
                                   "result(1)", R"(function("spin"))", "goto(A8)"});
    CustomSheet functions(src);
    functions.SetStepLimits(5000, 10000);
    EXPECT_EQ(functions.Call("forever", {}), E(ErrorCode::StackOverflow));
    EXPECT_EQ(functions.Call("one", {}), N(1));
    EXPECT_EQ(functions.Call("spin", {}), E(ErrorCode::StackOverflow));
    EXPECT_LE(functions.StepsTaken(), 10000);
    // Once the document's steps are spent, every call fails at once.
    EXPECT_EQ(functions.Call("one", {}), E(ErrorCode::StackOverflow));
}

TEST(CustomFunctions, ParameterTypes) {
    const std::vector<std::string> sheet = {
        R"(function("num","x:number"))",
        "result(@x)",
        R"(function("txt","x:text"))",
        R"(function("either","x:date,text"))",
        "result(@x)",
        R"(function("arr","x:array"))",
        "result(index(@x,2,1))",
        R"(function("err","x:error"))",
        "result(type(@x))",
        R"(function("any","x"))",
        "result(type(@x))",
        R"(function("bad","x:numbr"))",
        "result(1)",
        R"(function("loose","x"))",
        "result(@y)",
    };
    const Value date = Value::Date(DateTime{});
    struct Case {
        const char* function;
        std::vector<Value> args;
        Value expected;
    } cases[] = {
        {"num", {N(2)}, N(2)},
        {"num", {S("2")}, E(ErrorCode::StringNotExpected)},
        {"num", {date}, E(ErrorCode::DateNotExpected)},
        {"txt", {N(1)}, E(ErrorCode::NumberNotExpected)},
        {"either", {S("s")}, S("s")},
        {"either", {N(3)}, E(ErrorCode::NumberNotExpected)},
        {"arr",
         {Value::MakeArray([] {
             Array a(2, 1);
             a.items = {N(1), N(9)};
             return a;
         }())},
         N(9)},
        {"err", {E(ErrorCode::DivideByZero)}, S("error")},
        {"num", {E(ErrorCode::DivideByZero)}, E(ErrorCode::DivideByZero)},
        {"any", {S("t")}, S("text")},
        {"num", {N(1), N(2)}, E(ErrorCode::ParameterOutOfRange)},
        {"bad", {N(1)}, E(ErrorCode::BadIdentifier)},
        {"loose", {N(1)}, E(ErrorCode::LocalParameterNotDeclared)},
        {"missing", {}, E(ErrorCode::CustomFunctionNotDefined)},
    };
    FormulaSheet src = Statements(sheet);
    CustomSheet functions(src);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        EXPECT_EQ(Describe(functions.Call(c.function, c.args)), Describe(c.expected));
    }
    // No parameter takes an array: the function runs once per element.
    Array pair(2, 1);
    pair.items = {N(4), S("x")};
    Value spread = functions.Call("num", {Value::MakeArray(pair)});
    EXPECT_EQ(Describe(spread), Describe(Value::MakeArray([] {
                  Array a(2, 1);
                  a.items = {N(4), E(ErrorCode::StringNotExpected)};
                  return a;
              }())));
}

// Sheets that are not well formed give their error to the caller.
TEST(CustomFunctions, SheetsNotWellFormed) {
    RunCases({
        {"no result", {R"(function("f"))", "1+1"}, "f", {}, E(ErrorCode::NoResult)},
        {"runs into the next function",
         {R"(function("f"))", "1", R"(function("g"))", "result(2)"},
         "f",
         {},
         E(ErrorCode::NoResult)},
        {"endif without if", {R"(function("f"))", "endif", "result(1)"}, "f", {}, E(ErrorCode::WronglyNestedIf)},
        {"else without if", {R"(function("f"))", "else", "result(1)"}, "f", {}, E(ErrorCode::WronglyNestedIf)},
        {"if without endif", {R"(function("f"))", "if(0)", "result(1)"}, "f", {}, E(ErrorCode::WronglyNestedIf)},
        {"goto another column", {R"(function("f"))", "goto(B2)", "result(1)"}, "f", {}, E(ErrorCode::BadGotoTarget)},
        {"goto past the sheet", {R"(function("f"))", "goto(A900)", "result(1)"}, "f", {}, E(ErrorCode::BadGotoTarget)},
        {"goto a number", {R"(function("f"))", "goto(3)", "result(1)"}, "f", {}, E(ErrorCode::BadGotoTarget)},
        {"next without for", {R"(function("f"))", "next", "result(1)"}, "f", {}, E(ErrorCode::WronglyNestedLoop)},
        {"endwhile without while",
         {R"(function("f"))", "endwhile", "result(1)"},
         "f",
         {},
         E(ErrorCode::WronglyNestedLoop)},
        {"until without repeat",
         {R"(function("f"))", "until(1)", "result(1)"},
         "f",
         {},
         E(ErrorCode::WronglyNestedLoop)},
        {"break outside a loop", {R"(function("f"))", "break", "result(1)"}, "f", {}, E(ErrorCode::WronglyNestedLoop)},
        {"while without endwhile",
         {R"(function("f"))", "while(0)", "result(1)"},
         "f",
         {},
         E(ErrorCode::WronglyNestedLoop)},
        {"a call of nothing",
         {R"(function("f"))", "result(nothing_here(1))"},
         "f",
         {},
         E(ErrorCode::CustomFunctionNotDefined)},
        {"a name of nothing", {R"(function("f"))", "result(nothing_here)"}, "f", {}, E(ErrorCode::NameNotDefined)},
    });
}

// Outside a custom function sheet, calls of what is not built in.
TEST(CustomFunctions, ErrorsInOrdinaryDocuments) {
    struct Case {
        const char* formula;
        ErrorCode expected;
    } cases[] = {
        {"result(1)", ErrorCode::ControlFunctionOutsideCustomFunction},
        {"while(1)", ErrorCode::ControlFunctionOutsideCustomFunction},
        {"if(1)", ErrorCode::ControlFunctionOutsideCustomFunction},
        {"endif", ErrorCode::ControlFunctionOutsideCustomFunction},
        {"1+next", ErrorCode::ControlFunctionOutsideCustomFunction},
        {"nothing_here", ErrorCode::NameNotDefined},
        {"my_own(1,2)", ErrorCode::CustomFunctionNotDefined},
        {"[elsewhere]A1", ErrorCode::FileNotLoaded},
        {"[elsewhere]A1B4", ErrorCode::FileNotLoaded},
        {"[elsewhere]total", ErrorCode::FileNotLoaded},
        {"1+[elsewhere]gcd(1,2)", ErrorCode::FileNotLoaded},
        {"@param", ErrorCode::NameNotDefined},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formula);
        FormulaSheet sheet;
        sheet.Set("A1", std::string("=") + c.formula);
        Evaluator ev(sheet);
        EXPECT_EQ(ev.CellValue(1, 1), E(c.expected));
    }
}

}  // namespace
}  // namespace tw::formula
