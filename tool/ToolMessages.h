// The tool's "Edit Message" boxes. Texts are code page 949 (ToolTexts.h);
// names are shown as the system holds them. Reports of failure carry
// MB_ICONERROR, so that a front end can tell them from reports of success.
#pragma once

#include <string>

#include <windows.h>

namespace tarn::tool {

// "<input> 파일을 <output> 파일로 변환하는데 성공하였습니다."
void ShowConverted(HWND owner, const std::string& inputName, const std::string& outputName);
// "<n>개의 모델 파일을 <folder> 폴더에 만들었습니다.": the model files go to the
// current folder, which the last dialog chose, so the report says which.
void ShowMeshCount(HWND owner, int files, const std::string& folder);
void ShowNoAseFile(HWND owner);
void ShowCannotOpen(HWND owner, const std::string& name, const std::string& reason);
void ShowCannotWrite(HWND owner, const std::string& name, const std::string& reason);
void ShowOutputIsInput(HWND owner, const std::string& name);

// printf into a string; texts longer than 4 KB are cut.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tarn::tool
