-- draft.dat as delivered: the history of opened documents and the pause table.
-- Pause rows delivered here are system rows (candelete 0): they cannot be deleted.
-- Row order is the order of the pauses used by reading; keep new rows at the end.
BEGIN;

CREATE TABLE history (
    filename TEXT,
    opendate TEXT
);

CREATE TABLE delaytime (
    name      TEXT,
    descript  TEXT,
    delaytime INTEGER,
    candelete INTEGER
);

INSERT INTO delaytime (name, descript, delaytime, candelete) VALUES
    ('句號',     '。', 600, 0),
    ('分號',     '；', 400, 0),
    ('冒號',     '：', 300, 0),
    ('問號',     '？', 600, 0),
    ('嘆號',     '！', 600, 0),
    ('逗號',     '，', 250, 0),
    ('英文逗號', ',',  250, 0),
    ('英文分號', ';',  400, 0),
    ('英文冒號', ':',  300, 0),
    ('英文問號', '?',  600, 0),
    ('英文嘆號', '!',  600, 0);

COMMIT;
