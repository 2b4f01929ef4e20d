// The host's postfix calculator: a tokenizer and a compiler from expression
// text to a small stack-machine program, a cache of compiled programs keyed by
// text, and the interpreter that runs them without allocating.
//
// [SECTION] Key event table
// [SECTION] Panel variables
// [SECTION] Program representation
// [SECTION] Tokenizer
// [SECTION] Compiler
// [SECTION] Interpreter
// [SECTION] Cache and public API
//
// Contracts beyond calculator.h:
// - Every failure is found at compile time (unknown token, variable, unit or
//   key event; a unit of the wrong dimension; an A: store; unbalanced braces;
//   a possible stack underflow or an overflow of the 64-value stack, both by
//   static depth analysis over every path through if{ } els{ }). A bad text is
//   cached like a good one and fails the same way each time, with no side
//   effect: panel variables named by a bad text are not even created.
// - An if{ } without els{ } may leave different depths on its two paths; the
//   analysis keeps the range of possible depths, so "0 if{ 5 }" is accepted and
//   leaves an empty stack (results untouched, execute returns true).
// - Integer result: truncation toward zero, as static_cast<int32_t>, with NaN
//   giving 0 and values beyond the int32 range saturating.
// - Key event values: truncation toward zero, then the low 32 bits (so -1
//   gives 0xFFFFFFFF); NaN gives 0.
// - Text result: the top value formatted as "%g" into a buffer owned by the
//   calculator, valid until the next execute that returns a text.
// - Arithmetic is IEEE: x 0 / gives inf or NaN, a negative sqrt gives NaN.
// - Re-entrancy: a key event raised by an expression may run other expressions
//   (the module's key handler does) before execute returns; the value stack is
//   local to each call and compiled programs never move, so this is safe. The
//   text result buffer is shared: a nested execute overwrites it first, and
//   the outer one writes its own value last.
// - The cache is never pruned: the module uses a fixed set of texts.
#include "host/panel/calculator.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "host/world/sim_vars.h"
#include "host/world/units.h"

namespace host {

// ============================================================================
// [SECTION] Key event table
// ============================================================================
namespace {

struct KeyEventRow {
    const char* name;
    uint32_t id;
};

// Host key events known by name. Ids marked "module" are the ones the module
// raises by number; the names given to those ids, and every id marked "ours",
// are this host's choice (all in the host range from 0x10000, away from the
// module's own 0x11101-0x11107).
// clang-format off
constexpr KeyEventRow KEY_EVENTS[] = {
    {"PARKING_BRAKES",                   0x1003E},  // ours
    {"NAV1_RADIO_SET",                   0x100AC},  // module: NAV tuning
    {"NAV2_RADIO_SET",                   0x100AD},  // module: NAV tuning
    {"NEXT_SUB_VIEW",                    0x100C6},  // module: sub-panel closer "p" > 0
    {"PREV_SUB_VIEW",                    0x100C7},  // module: sub-panel closer "p" < 0
    {"RADIO_VOR1_IDENT_DISABLE",         0x10128},  // module: TACAN radio tone off
    {"RADIO_VOR2_IDENT_DISABLE",         0x10129},  // module
    {"RADIO_DME1_IDENT_DISABLE",         0x1012A},  // ours
    {"RADIO_DME2_IDENT_DISABLE",         0x1012B},  // ours
    {"RADIO_ADF_IDENT_DISABLE",          0x1012C},  // ours
    {"RADIO_VOR1_IDENT_ENABLE",          0x1012D},  // module: TACAN radio tone on
    {"RADIO_VOR2_IDENT_ENABLE",          0x1012E},  // module
    {"VIEW_RESET",                       0x10153},  // module: sub-panel closer "p" = 0
    {"PANEL_ID_TOGGLE",                  0x103CA},  // module: sub-panel closer "t"
    {"PANEL_ID_OPEN",                    0x103CB},  // module: sub-panel closer "o"
    {"PANEL_ID_CLOSE",                   0x103CC},  // module: sub-panel closer "c", "a"
    {"FREEZE_LATITUDE_LONGITUDE_TOGGLE", 0x1050F},  // ours
    {"FREEZE_LATITUDE_LONGITUDE_SET",    0x10510},  // ours
    {"FREEZE_ALTITUDE_TOGGLE",           0x10511},  // ours
    {"FREEZE_ALTITUDE_SET",              0x10512},  // module: catapult stroke 1, end 0
    {"FREEZE_ATTITUDE_TOGGLE",           0x10513},  // ours
    {"FREEZE_ATTITUDE_SET",              0x10514},  // ours; the module raises it by name
    {"SET_TAIL_HOOK_HANDLE",             0x10539},  // ours
    {"TOGGLE_TAILHOOK_HANDLE",           0x1053A},  // ours
    {"TOGGLE_LAUNCH_BAR_SWITCH",         0x1053B},  // ours
    {"SET_LAUNCH_BAR_SWITCH",            0x1053C},  // module: catapult stroke start, 0
};
// clang-format on

// Case-insensitive equality, after trimming blanks from `text`.
bool equal_ignoring_case(std::string_view text, std::string_view upper)
{
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(upper[i])) return false;
    }
    return true;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string upper_case(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::optional<uint32_t> find_key_event(std::string_view name)
{
    name = trim(name);
    for (const KeyEventRow& row : KEY_EVENTS) {
        if (equal_ignoring_case(name, row.name)) return row.id;
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, uint32_t>> all_key_events()
{
    std::vector<std::pair<std::string, uint32_t>> out;
    for (const KeyEventRow& row : KEY_EVENTS) out.emplace_back(row.name, row.id);
    return out;
}

const char* key_event_name(uint32_t event_id)
{
    for (const KeyEventRow& row : KEY_EVENTS) {
        if (row.id == event_id) return row.name;
    }
    return nullptr;
}

// ============================================================================
// [SECTION] Panel variables
// ============================================================================

int PanelVariables::slot(std::string_view name)
{
    name = trim(name);
    std::string key = upper_case(name);
    const auto it = index_.find(key);
    if (it != index_.end()) return it->second;
    const int slot = static_cast<int>(names_.size());
    names_.emplace_back(name);
    values_.push_back(0.0);
    index_.emplace(std::move(key), slot);
    return slot;
}

int PanelVariables::find(std::string_view name) const
{
    const auto it = index_.find(upper_case(trim(name)));
    return it == index_.end() ? -1 : it->second;
}

// ============================================================================
// [SECTION] Program representation
// ============================================================================
namespace {

constexpr int STACK_SIZE = 64;

enum class Op : uint8_t {
    Push,        // push value
    ReadSim,     // push read_sim_var(arg) / value
    ReadLocal,   // push panel variable slot arg / value
    StoreLocal,  // pop v; panel variable slot arg = v * value; notify the host
    LocalTime,   // push local_time_seconds() / value
    Key,         // pop v; raise key event arg with v
    Add, Sub, Mul, Div,
    Eq, Ne, Lt, Gt, Le, Ge,
    And, Or, Not,
    Dnor, Sqrt, Abs, Neg, Floor, Min, Max,
    JumpIfZero,  // pop v; when v == 0 continue at instruction arg
    Jump,        // continue at instruction arg
};

struct Instr {
    Op op;
    int32_t arg;   // sim var index, panel slot, key event id or jump target
    double value;  // constant, or the unit's factor to base units
};

struct Program {
    bool ok = false;
    std::string reason;  // why the text is bad; empty when ok
    std::vector<Instr> code;
};

// Plain operators: token, opcode, operands popped (each pushes one result).
struct OperatorRow {
    const char* token;
    Op op;
    int operands;
};
constexpr OperatorRow OPERATORS[] = {
    {"+", Op::Add, 2},   {"-", Op::Sub, 2},   {"*", Op::Mul, 2},     {"/", Op::Div, 2},
    {"==", Op::Eq, 2},   {"!=", Op::Ne, 2},   {"<", Op::Lt, 2},      {">", Op::Gt, 2},
    {"<=", Op::Le, 2},   {">=", Op::Ge, 2},   {"&&", Op::And, 2},    {"||", Op::Or, 2},
    {"!", Op::Not, 1},   {"dnor", Op::Dnor, 1}, {"sqrt", Op::Sqrt, 1}, {"abs", Op::Abs, 1},
    {"neg", Op::Neg, 1}, {"flr", Op::Floor, 1}, {"min", Op::Min, 2},   {"max", Op::Max, 2},
};

// ============================================================================
// [SECTION] Tokenizer
// ============================================================================

// Splits `text` into tokens: a "(" starts a variable reference that runs to
// the next ")" and is one token whatever blanks it holds; anything else runs
// to the next blank. False with a reason when a "(" is never closed.
bool tokenize(std::string_view text, std::vector<std::string_view>& tokens, std::string& reason)
{
    size_t i = 0;
    while (i < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        const size_t start = i;
        if (text[i] == '(') {
            const size_t close = text.find(')', i);
            if (close == std::string_view::npos) {
                reason = "unclosed '(' in '" + std::string(text.substr(start)) + "'";
                return false;
            }
            i = close + 1;
        } else {
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        }
        tokens.push_back(text.substr(start, i - start));
    }
    return true;
}

// ============================================================================
// [SECTION] Compiler
// ============================================================================

// A decimal number token ("1", "-2.5", ".5", "1e3"); not "inf" or "nan".
bool parse_number(std::string_view token, double& value)
{
    size_t first = token[0] == '-' ? 1 : 0;
    if (first >= token.size()) return false;
    if (!std::isdigit(static_cast<unsigned char>(token[first])) && token[first] != '.') return false;
    const char* end = token.data() + token.size();
    const auto result = std::from_chars(token.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

class Compiler {
public:
    Compiler(std::string_view text, PanelVariables& panel) : text_(text), panel_(panel) {}

    // Fills `program`; on failure program.ok is false and program.reason says why.
    void compile(Program& program)
    {
        std::vector<std::string_view> tokens;
        if (!tokenize(text_, tokens, program.reason)) return;
        for (size_t i = 0; i < tokens.size(); ++i) {
            if (!compile_token(tokens, i)) {
                program.reason = std::move(reason_);
                return;
            }
        }
        if (!blocks_.empty()) {
            program.reason = "unbalanced braces: an 'if{' or 'els{' is not closed";
            return;
        }
        // Only a good text creates the panel variables it names.
        for (Instr& instr : code_) {
            if (instr.op == Op::ReadLocal || instr.op == Op::StoreLocal) {
                instr.arg = panel_.slot(localNames_[static_cast<size_t>(instr.arg)]);
            }
        }
        program.code = std::move(code_);
        program.ok = true;
    }

private:
    // An open if{ or els{ block and the stack depths around it.
    struct Block {
        bool isElse;
        size_t jump;       // the JumpIfZero (if) or Jump (els) to patch
        int entryLow;      // depth range on entering the block
        int entryHigh;
        int thenLow = 0;   // depth range at the end of the if block (els only)
        int thenHigh = 0;
    };

    bool fail(std::string reason)
    {
        reason_ = std::move(reason);
        return false;
    }

    void emit(Op op, int32_t arg = 0, double value = 0.0) { code_.push_back(Instr{op, arg, value}); }

    // Accounts for an instruction that pops `pops` values and pushes `pushes`.
    bool effect(std::string_view token, int pops, int pushes)
    {
        if (low_ < pops) {
            return fail("stack underflow at '" + std::string(token) + "': needs " + std::to_string(pops) +
                        " value(s), " + std::to_string(low_) + " certain");
        }
        low_ += pushes - pops;
        high_ += pushes - pops;
        if (high_ > STACK_SIZE) return fail("stack overflow: more than " + std::to_string(STACK_SIZE) + " values");
        return true;
    }

    bool compile_token(const std::vector<std::string_view>& tokens, size_t& i)
    {
        const std::string_view token = tokens[i];
        if (token[0] == '(') return compile_reference(token);
        double number = 0.0;
        if (parse_number(token, number)) {
            emit(Op::Push, 0, number);
            return effect(token, 0, 1);
        }
        if (token == "if{") {
            if (!effect(token, 1, 0)) return false;
            blocks_.push_back(Block{false, code_.size(), low_, high_});
            emit(Op::JumpIfZero);
            return true;
        }
        if (token == "els{") return fail("'els{' without a preceding 'if{ ... }'");
        if (token == "}") return close_block(tokens, i);
        for (const OperatorRow& row : OPERATORS) {
            if (token == row.token) {
                emit(row.op);
                return effect(token, row.operands, 1);
            }
        }
        return fail("unknown token '" + std::string(token) + "'");
    }

    // "}" closes the innermost block; an if block followed by "els{" opens the
    // else block at once (the "els{" token is consumed here).
    bool close_block(const std::vector<std::string_view>& tokens, size_t& i)
    {
        if (blocks_.empty()) return fail("unbalanced braces: '}' without 'if{'");
        Block block = blocks_.back();
        blocks_.pop_back();
        if (!block.isElse && i + 1 < tokens.size() && tokens[i + 1] == "els{") {
            ++i;
            const size_t jump = code_.size();
            emit(Op::Jump);
            code_[block.jump].arg = static_cast<int32_t>(code_.size());
            blocks_.push_back(Block{true, jump, block.entryLow, block.entryHigh, low_, high_});
            low_ = block.entryLow;
            high_ = block.entryHigh;
            return true;
        }
        code_[block.jump].arg = static_cast<int32_t>(code_.size());
        // Join the paths: the block's end and, for if, the skipped path.
        const int otherLow = block.isElse ? block.thenLow : block.entryLow;
        const int otherHigh = block.isElse ? block.thenHigh : block.entryHigh;
        low_ = std::min(low_, otherLow);
        high_ = std::max(high_, otherHigh);
        return true;
    }

    // "(A:NAME, unit)", "(L:NAME, unit)", "(P:local time, unit)",
    // "(>L:NAME, unit)", "(>K:EVENT)".
    bool compile_reference(std::string_view token)
    {
        std::string_view inner = token.substr(1, token.size() - 2);  // tokenizer ensures "(...)"
        inner = trim(inner);
        const bool store = !inner.empty() && inner[0] == '>';
        if (store) inner.remove_prefix(1);
        const size_t colon = inner.find(':');
        if (colon == std::string_view::npos) return fail("no variable kind in '" + std::string(token) + "'");
        const std::string_view kind = trim(inner.substr(0, colon));
        std::string_view rest = inner.substr(colon + 1);
        std::string_view name = rest;
        std::string_view unitName;
        bool hasUnit = false;
        if (const size_t comma = rest.find(','); comma != std::string_view::npos) {
            name = rest.substr(0, comma);
            unitName = trim(rest.substr(comma + 1));
            hasUnit = true;
        }
        name = trim(name);
        if (name.empty()) return fail("no variable name in '" + std::string(token) + "'");

        std::optional<UnitInfo> unit;
        if (hasUnit) {
            unit = find_unit(unitName);
            if (!unit) return fail("unknown unit '" + std::string(unitName) + "' in '" + std::string(token) + "'");
        }

        if (equal_ignoring_case(kind, "A")) {
            if (store) return fail("A: variables are read-only: '" + std::string(token) + "'");
            const SimVarInfo* var = find_sim_var(name);
            if (!var) return fail("unknown simulator variable '" + std::string(name) + "'");
            if (var->dimension == Dimension::Text) {
                return fail("text variable '" + var->name + "' cannot be read by the calculator");
            }
            if (!unit) return fail("no unit for '" + var->name + "'");
            if (unit->dimension != var->dimension) return mismatch(token, *unit, var->dimension);
            emit(Op::ReadSim, var->index, unit->to_base);
            return effect(token, 0, 1);
        }
        if (equal_ignoring_case(kind, "L")) {
            if (!unit) unit = UnitInfo{Dimension::Number, 1.0};  // as real panels: number by default
            if (unit->dimension == Dimension::Text) return mismatch(token, *unit, Dimension::Number);
            const auto pending = static_cast<int32_t>(localNames_.size());
            localNames_.emplace_back(name);
            emit(store ? Op::StoreLocal : Op::ReadLocal, pending, unit->to_base);
            return store ? effect(token, 1, 0) : effect(token, 0, 1);
        }
        if (equal_ignoring_case(kind, "P")) {
            if (store) return fail("P: variables are read-only: '" + std::string(token) + "'");
            if (!equal_ignoring_case(name, "LOCAL TIME")) {
                return fail("unknown environment variable '" + std::string(name) + "'");
            }
            if (!unit) return fail("no unit for '" + std::string(name) + "'");
            if (unit->dimension != Dimension::Time) return mismatch(token, *unit, Dimension::Time);
            emit(Op::LocalTime, 0, unit->to_base);
            return effect(token, 0, 1);
        }
        if (equal_ignoring_case(kind, "K")) {
            if (!store) return fail("key events can only be raised: '(>K:" + std::string(name) + ")'");
            if (hasUnit) return fail("a key event takes no unit: '" + std::string(token) + "'");
            const std::optional<uint32_t> id = find_key_event(name);
            if (!id) return fail("unknown key event '" + std::string(name) + "'");
            emit(Op::Key, static_cast<int32_t>(*id));
            return effect(token, 1, 0);
        }
        return fail("unknown variable kind '" + std::string(kind) + ":' in '" + std::string(token) + "'");
    }

    bool mismatch(std::string_view token, const UnitInfo& unit, Dimension wanted)
    {
        return fail("unit of dimension " + std::string(dimension_name(unit.dimension)) + " does not fit a " +
                    dimension_name(wanted) + " value in '" + std::string(token) + "'");
    }

    std::string_view text_;
    PanelVariables& panel_;
    std::vector<Instr> code_;
    std::vector<std::string> localNames_;  // L: names, resolved to slots on success
    std::vector<Block> blocks_;
    int low_ = 0;   // fewest values the stack can hold here
    int high_ = 0;  // most values the stack can hold here
    std::string reason_;
};

// ============================================================================
// [SECTION] Interpreter
// ============================================================================

double normalise_degrees(double degrees)
{
    double folded = std::fmod(degrees, 360.0);
    if (folded < 0.0) folded += 360.0;
    if (folded >= 360.0 || folded == 0.0) folded = 0.0;  // -1e-17 + 360 rounds to 360; no -0
    return folded;
}

uint32_t key_value(double value)
{
    if (!(value == value)) return 0;
    constexpr double LIMIT = 9.2233720368547758e18;  // 2^63
    value = std::clamp(value, -LIMIT, std::nextafter(LIMIT, 0.0));
    return static_cast<uint32_t>(static_cast<int64_t>(value));
}

int32_t integer_result(double value)
{
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// Runs `code`; returns the number of values left and the top one in `top`.
// The static analysis guarantees the stack stays within [0, STACK_SIZE].
int run(const std::vector<Instr>& program, CalculatorHost& host, PanelVariables& panel, double& top)
{
    double stack[STACK_SIZE];
    int sp = 0;
    const Instr* code = program.data();
    const size_t size = program.size();
    for (size_t pc = 0; pc < size; ++pc) {
        const Instr& in = code[pc];
        switch (in.op) {
        case Op::Push: stack[sp++] = in.value; break;
        case Op::ReadSim: stack[sp++] = host.read_sim_var(in.arg) / in.value; break;
        case Op::ReadLocal: stack[sp++] = panel.get(in.arg) / in.value; break;
        case Op::StoreLocal: {
            const double base = stack[--sp] * in.value;
            panel.set(in.arg, base);
            host.panel_variable_stored(in.arg, base);
            break;
        }
        case Op::LocalTime: stack[sp++] = host.local_time_seconds() / in.value; break;
        case Op::Key: {
            const double value = stack[--sp];
            host.raise_key_event(static_cast<uint32_t>(in.arg), key_value(value));
            break;
        }
        case Op::Add: --sp; stack[sp - 1] = stack[sp - 1] + stack[sp]; break;
        case Op::Sub: --sp; stack[sp - 1] = stack[sp - 1] - stack[sp]; break;
        case Op::Mul: --sp; stack[sp - 1] = stack[sp - 1] * stack[sp]; break;
        case Op::Div: --sp; stack[sp - 1] = stack[sp - 1] / stack[sp]; break;
        case Op::Eq: --sp; stack[sp - 1] = stack[sp - 1] == stack[sp] ? 1.0 : 0.0; break;
        case Op::Ne: --sp; stack[sp - 1] = stack[sp - 1] != stack[sp] ? 1.0 : 0.0; break;
        case Op::Lt: --sp; stack[sp - 1] = stack[sp - 1] < stack[sp] ? 1.0 : 0.0; break;
        case Op::Gt: --sp; stack[sp - 1] = stack[sp - 1] > stack[sp] ? 1.0 : 0.0; break;
        case Op::Le: --sp; stack[sp - 1] = stack[sp - 1] <= stack[sp] ? 1.0 : 0.0; break;
        case Op::Ge: --sp; stack[sp - 1] = stack[sp - 1] >= stack[sp] ? 1.0 : 0.0; break;
        case Op::And: --sp; stack[sp - 1] = (stack[sp - 1] != 0.0 && stack[sp] != 0.0) ? 1.0 : 0.0; break;
        case Op::Or: --sp; stack[sp - 1] = (stack[sp - 1] != 0.0 || stack[sp] != 0.0) ? 1.0 : 0.0; break;
        case Op::Min: --sp; stack[sp - 1] = std::min(stack[sp - 1], stack[sp]); break;
        case Op::Max: --sp; stack[sp - 1] = std::max(stack[sp - 1], stack[sp]); break;
        case Op::Not: stack[sp - 1] = stack[sp - 1] == 0.0 ? 1.0 : 0.0; break;
        case Op::Dnor: stack[sp - 1] = normalise_degrees(stack[sp - 1]); break;
        case Op::Sqrt: stack[sp - 1] = std::sqrt(stack[sp - 1]); break;
        case Op::Abs: stack[sp - 1] = std::fabs(stack[sp - 1]); break;
        case Op::Neg: stack[sp - 1] = -stack[sp - 1]; break;
        case Op::Floor: stack[sp - 1] = std::floor(stack[sp - 1]); break;
        case Op::JumpIfZero:
            // The target is the instruction after the block; the loop's ++pc
            // must land there.
            if (stack[--sp] == 0.0) pc = static_cast<size_t>(in.arg) - 1;
            break;
        case Op::Jump: pc = static_cast<size_t>(in.arg) - 1; break;
        }
    }
    if (sp > 0) top = stack[sp - 1];
    return sp;
}

// Hash and equality that accept std::string and std::string_view alike, so
// that the cache is searched without building a std::string.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

}  // namespace

// ============================================================================
// [SECTION] Cache and public API
// ============================================================================

struct Calculator::Impl {
    CalculatorHost& host;
    PanelVariables& panel;
    // Compiled programs by text. Nodes never move, so the Program and key
    // pointers below stay valid for the calculator's life.
    std::unordered_map<std::string, Program, TextHash, std::equal_to<>> cache;

    // Fast path for the common case of a caller passing the same string
    // literal every frame: a direct-mapped table from the text's address to
    // its cached program, checked against the cached text before use.
    struct Recent {
        const char* address = nullptr;
        const std::string* text = nullptr;
        const Program* program = nullptr;
    };
    static constexpr size_t RECENT_SIZE = 64;
    std::array<Recent, RECENT_SIZE> recent{};

    char textResult[32] = {};  // the formatted value *svalue points at
    uint64_t textBits = 0;     // bit pattern of the value in textResult
    bool textValid = false;    // textResult holds textBits formatted

    Impl(CalculatorHost& h, PanelVariables& p) : host(h), panel(p) {}

    // Formats `value` as "%g" into textResult. snprintf costs more than a
    // whole evaluation, so the last value's text is reused, and integers that
    // "%g" prints in full (below 1e6 in magnitude) are written by hand.
    const char* format(double value)
    {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        if (textValid && bits == textBits) return textResult;
        if (value == std::trunc(value) && std::fabs(value) < 1e6 && !(value == 0.0 && std::signbit(value))) {
            auto magnitude = static_cast<int32_t>(std::fabs(value));
            char digits[8];
            int count = 0;
            do {
                digits[count++] = static_cast<char>('0' + magnitude % 10);
                magnitude /= 10;
            } while (magnitude > 0);
            char* out = textResult;
            if (value < 0.0) *out++ = '-';
            while (count > 0) *out++ = digits[--count];
            *out = '\0';
        } else {
            std::snprintf(textResult, sizeof textResult, "%g", value);
        }
        textBits = bits;
        textValid = true;
        return textResult;
    }

    static size_t recent_slot(const char* address)
    {
        const auto bits = reinterpret_cast<uintptr_t>(address);
        return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> 58) & (RECENT_SIZE - 1);
    }

    // The cached program for `text`, compiled and inserted when new.
    const Program& lookup(std::string_view text, const std::string** key)
    {
        auto it = cache.find(text);
        if (it == cache.end()) {
            Program program;
            Compiler(text, panel).compile(program);
            it = cache.emplace(std::string(text), std::move(program)).first;
        }
        *key = &it->first;
        return it->second;
    }

    const Program& lookup(const char* code, const std::string** key)
    {
        Recent& entry = recent[recent_slot(code)];
        if (entry.address == code) {
            // The same address may hold another text now: compare. `code` is
            // NUL-terminated and the cached text has no NUL, so strncmp stops
            // at the first difference without reading past either.
            const size_t n = entry.text->size();
            if (std::strncmp(code, entry.text->data(), n) == 0 && code[n] == '\0') {
                *key = entry.text;
                return *entry.program;
            }
        }
        const Program& program = lookup(std::string_view(code), key);
        entry = Recent{code, *key, &program};
        return program;
    }
};

Calculator::Calculator(CalculatorHost& host, PanelVariables& panel_variables)
    : impl_(std::make_unique<Impl>(host, panel_variables))
{
}

Calculator::~Calculator() = default;

bool Calculator::execute(const char* code, double* fvalue, int32_t* ivalue, const char** svalue)
{
    if (code == nullptr) {
        impl_->host.calculator_error("", "null expression");
        return false;
    }
    const std::string* text = nullptr;
    const Program& program = impl_->lookup(code, &text);
    if (!program.ok) {
        impl_->host.calculator_error(*text, program.reason);
        return false;
    }
    double top = 0.0;
    if (run(program.code, impl_->host, impl_->panel, top) == 0) return true;
    if (fvalue) *fvalue = top;
    if (ivalue) *ivalue = integer_result(top);
    if (svalue) *svalue = impl_->format(top);
    return true;
}

bool Calculator::check(std::string_view code, std::string* reason)
{
    const std::string* text = nullptr;
    const Program& program = impl_->lookup(code, &text);
    if (!program.ok && reason) *reason = program.reason;
    return program.ok;
}

size_t Calculator::cached_expressions() const { return impl_->cache.size(); }

}  // namespace host
