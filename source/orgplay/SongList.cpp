#include "SongList.h"

#include <utility>

SongList::SongList(std::vector<std::string> p_Paths) : paths(std::move(p_Paths)), failed(paths.size(), false)
{}

std::size_t SongList::Later(std::size_t p_Index) const
{
    std::size_t l_Index = p_Index + 1;
    while (l_Index < paths.size() && failed[l_Index])
        ++l_Index;
    return l_Index < paths.size() ? l_Index : paths.size();
}

std::size_t SongList::Earlier(std::size_t p_Index) const
{
    for (std::size_t l_Index = p_Index; l_Index-- > 0;)
        if (!failed[l_Index])
            return l_Index;
    return paths.size();
}

void SongList::Next()
{
    backwards = false;
    current = Later(current);
}

void SongList::Previous()
{
    backwards = true;
    const std::size_t l_Earlier = Earlier(current);
    if (l_Earlier < paths.size())
        current = l_Earlier;
}

void SongList::Fail()
{
    failed[current] = true;
    // Going back with nothing playable before it, the list turns round rather than end.
    if (backwards && HasPrevious())
        current = Earlier(current);
    else
        Next();
}
