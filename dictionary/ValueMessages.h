#pragma once

namespace tarvo::ValueMessages {

inline constexpr const char* kFormulaCharacter = "Formula =>ASC: ";
inline constexpr const char* kFormulaStack = "Formula stack is Err!!!!!\n";
inline constexpr const char* kSquareRoot = "sqrt function express error!! \n";
inline constexpr const char* kFormulaMemory = "[Add Formula Node]No Free Memory!!\n";
inline constexpr const char* kConstantMemory = "[Add Const Var]No Free Memory!!\n";
inline constexpr const char* kNoConstant = "Not exist the const value!! \n";
inline constexpr const char* kNoDefaultUnit = "Add default unit failure \n";

}  // namespace tarvo::ValueMessages
