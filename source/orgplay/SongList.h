#ifndef TUNEWRIGHT_SONGLIST_H
#define TUNEWRIGHT_SONGLIST_H

// The songs of the command line in the order they play, walked by the next and previous song. A
// song that could not be played is passed over from then on, so that it is reported once.
#include <cstddef>
#include <string>
#include <vector>

class SongList
{
public:
    explicit SongList(std::vector<std::string> p_Paths);

    // Past the last song: nothing more to play.
    bool Done() const { return current >= paths.size(); }
    std::size_t Index() const { return current; }
    const std::string& Path() const { return paths[current]; }
    bool HasNext() const { return Later(current) < paths.size(); }
    bool HasPrevious() const { return Earlier(current) < paths.size(); }

    void Next();
    // The song before this one; the first song plays again.
    void Previous();
    // The song could not be played: passed over, on in the way the list was going.
    void Fail();

private:
    // The next playable song after (before) p_Index, or paths.size() when there is none.
    std::size_t Later(std::size_t p_Index) const;
    std::size_t Earlier(std::size_t p_Index) const;

    std::vector<std::string> paths;
    std::vector<bool> failed;
    std::size_t current = 0;
    bool backwards = false;
};

#endif
