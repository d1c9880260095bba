#pragma once
// The pictures drawn for Quillo: the headline tree's node states and the
// picture buttons. Drawn in code so they look the same with or without an icon
// theme on the desktop.

#include <QIcon>
#include <QList>

// The tree's image list, by state index: 1 open book (expanded channel),
// 2 page (a topic), 3 closed book (collapsed channel). Index 0 is unused.
QList<QIcon> treeStatePictures();

QIcon folderPicture();
QIcon addLocationPicture();
QIcon paragraphPicture();
QIcon orderedListPicture();
QIcon unorderedListPicture();
QIcon listItemPicture();
QIcon farAnchorPicture();
QIcon blankSpacePicture();
