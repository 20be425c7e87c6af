SELECT * FROM T WHERE A = :A AND B = :"b" AND C = ? AND D = :a -- :x
/* :y */ AND E = ':z'