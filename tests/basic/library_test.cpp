#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <vorna/basic/corvane_exception.h>
#include <vorna/basic/factory.h>
#include <vorna/basic/library.h>
#include <vorna/basic/named_type.h>

namespace
{
    class CountingLibrary : public vorna::Library
    {
      public:
        void initialize()
        {
            call_initialize( "CountingLibrary" );
        }

        std::atomic< int > runs{ 0 };
        int failures_left{ 0 };

      private:
        void do_initialize() override
        {
            runs++;
            if( failures_left-- > 0 )
            {
                throw std::runtime_error{ "not yet" };
            }
        }
    };

    TEST( Library, OnceRetryAfterThrowAndConcurrentCallers )
    {
        CountingLibrary library;
        library.failures_left = 1;
        EXPECT_THROW( library.initialize(), std::runtime_error );
        EXPECT_FALSE( library.is_initialized() );
        std::vector< std::thread > threads;
        for( int t = 0; t < 8; t++ )
        {
            threads.emplace_back(
                [&library]
                {
                    library.initialize();
                    EXPECT_TRUE( library.is_initialized() );
                } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        library.initialize();
        EXPECT_EQ( library.runs, 2 );
    }

    struct Shape
    {
        virtual ~Shape() = default;
        int size{ 0 };
        int kind{ 0 };
    };
    template < int Kind >
    struct KindOf : Shape
    {
        explicit KindOf( int size_in )
        {
            size = size_in;
            kind = Kind;
        }
    };
    using ShapeFactory = vorna::Factory< std::string, Shape, int >;

    TEST( Factory, RegisterOverwriteAndUnknownKey )
    {
        ShapeFactory::register_creator< KindOf< 1 > >( "shape" );
        EXPECT_TRUE( ShapeFactory::has_creator( "shape" ) );
        EXPECT_EQ( ShapeFactory::create( "shape", 4 )->size, 4 );
        ShapeFactory::register_creator< KindOf< 2 > >( "shape" );
        EXPECT_EQ( ShapeFactory::create( "shape", 2 )->kind, 2 );

        EXPECT_FALSE( ShapeFactory::has_creator( "unknown" ) );
        try
        {
            ShapeFactory::create( "unknown", 1 );
            ADD_FAILURE() << "expected an exception";
        }
        catch( const vorna::CorvaneException& error )
        {
            EXPECT_STREQ( error.what(),
                          "[Factory::create] Factory does not "
                          "contain the requested key" );
        }
    }

    // A factory type used by no other test, so its first use is here.
    struct FreshKeyTag;
    using FreshFactory = vorna::
        Factory< vorna::NamedType< std::string, FreshKeyTag >, Shape, int >;

    TEST( Factory, ConcurrentFirstUseSharesOneFactory )
    {
        constexpr int nb_threads = 8;
        std::atomic< int > ready{ 0 };
        std::vector< std::thread > threads;
        for( int t = 0; t < nb_threads; t++ )
        {
            threads.emplace_back(
                [t, &ready]
                {
                    ready++;
                    while( ready < nb_threads )
                    {
                    }
                    if( t % 2 == 0 )
                    {
                        FreshFactory::register_creator< KindOf< 1 > >(
                            std::to_string( t ) );
                    }
                    else
                    {
                        EXPECT_THROW( FreshFactory::create( "none", 1 ),
                                      vorna::CorvaneException );
                    }
                } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        // A second factory would have lost some registrations.
        for( int t = 0; t < nb_threads; t += 2 )
        {
            EXPECT_TRUE( FreshFactory::has_creator( std::to_string( t ) ) );
        }
    }
} // namespace
