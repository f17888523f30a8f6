#pragma once

// The window's fixed texts as the system's Windows-1250 bytes, shared by every front end.
namespace w20 {

constexpr const char* ApplicationTitle = "W20/FW20 by VOR";
constexpr const char* Form1Caption = "Korvane W20/FW20 Project";
constexpr const char* Label3Caption = "FW20 - last";
constexpr const char* Label4Caption =
    "dzisiejsze dane mo\xBF"
    "na \x9C"
    "ci\xB9ga\xE6 dopiero po sesji";
constexpr const char* Label7Caption = "Dane z poprzednich dni s\xB9 dost\xEApne ca\xB3y czas";
constexpr const char* Label2Caption = "Data provided by";
constexpr const char* Button1Caption = "Start";
constexpr const char* RadioGroup1Caption = "Dane";
constexpr const char* RadioGroup1Items[] = {"5-minutowe", "15-minutowe", "30-minutowe"};
constexpr const char* RadioGroup2Caption = "Zapis";
constexpr const char* RadioGroup2Items[] = {"MetaStock", "Omega TradeStation"};

// The addresses the three links show and open: the author's web page and mail, the data provider.
constexpr const char* AuthorWebPage = "www.example.com";
constexpr const char* AuthorMail = "vor@example.com";
constexpr const char* ProviderHost = "example.net";

// Timer1's period in milliseconds.
constexpr int Timer1Interval = 60000;

}  // namespace w20
