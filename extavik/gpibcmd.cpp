// gpibcmd
