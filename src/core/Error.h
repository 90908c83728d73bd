#pragma once

#include <QString>
#include <exception>

// Root of every failure the program reports to a person. Owners of an action catch it and show
// description(); nothing else of an error reaches the screen.
class QuilloryError : public std::exception
{
public:
    virtual QString description() const = 0;
    const char *what() const noexcept override;

private:
    mutable QByteArray m_what;
};

// The text a person sees for what the enclosing catch block caught: a QuilloryError's description,
// another exception's what(). Call only inside a catch block.
QString describeCurrentException();
