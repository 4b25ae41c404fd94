#pragma once

#include <QString>

namespace platform {

enum class MessageIcon { None, Warning };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest
{
    QString text;                 ///< always shown as plain text, never as markup
    QString title;                ///< empty: the application title
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageAnswer defaultButton = MessageAnswer::Ok;
};

/// Modal message boxes.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    /// Shows the box and returns the button the user pressed (No when closed without a choice).
    virtual MessageAnswer show(const MessageRequest &request) = 0;
};

} // namespace platform
